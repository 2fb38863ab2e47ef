// One owner for the platform's handles (files, find handles, registry keys):
// closes what it holds when it goes, moves but never copies. Traits says what
// the handle is:
//
//   struct Traits {
//       using Handle = HKEY;
//       static Handle Empty();          // what an empty owner holds
//       static bool Valid(Handle h);    // whether h needs closing
//       static void Close(Handle h);
//   };
#pragma once

#include <utility>

namespace skyvane {

template <class Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() = default;
    explicit UniqueResource(Handle h) : h_(h) {}
    UniqueResource(UniqueResource&& other) noexcept : h_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { reset(); }

    Handle get() const { return h_; }
    bool valid() const { return Traits::Valid(h_); }
    explicit operator bool() const { return valid(); }
    // The slot for a function that opens into an out-parameter; closes what
    // was there.
    Handle* out() {
        reset();
        return &h_;
    }
    Handle release() { return std::exchange(h_, Traits::Empty()); }
    void reset(Handle h = Traits::Empty()) {
        Handle old = std::exchange(h_, h);
        if (Traits::Valid(old)) Traits::Close(old);
    }

private:
    Handle h_ = Traits::Empty();
};

}  // namespace skyvane
