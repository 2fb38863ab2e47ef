#include "plugin/store_format.h"

#include <cstring>

namespace skyvane::plugin {
namespace {

constexpr char16_t kMarker[] = u"CityCode stream";
constexpr uint32_t kMaxTextBytes = 49999;
constexpr uint32_t kMaxArchiveBytes = 100000;

struct Truncated {};

class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    uint32_t U32() {
        uint32_t v;
        Take(&v, 4);
        return v;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    double F64() {
        double v;
        Take(&v, 8);
        return v;
    }
    std::u16string Str() {
        uint32_t length = U32();
        if (length <= 2) return {};
        std::span<const uint8_t> raw = Skip(length);
        if (length < 3 || length > kMaxTextBytes) return {};
        std::u16string text(raw.size() / 2, u'\0');
        std::memcpy(text.data(), raw.data(), text.size() * 2);
        size_t end = text.find(u'\0');
        if (end != std::u16string::npos) text.resize(end);
        return text;
    }
    std::vector<int32_t> Blob() {
        uint32_t size = U32();
        std::span<const uint8_t> raw = Skip(size);
        std::vector<int32_t> values;
        if (size > kMaxArchiveBytes) return values;
        values.resize(raw.size() / 4);
        std::memcpy(values.data(), raw.data(), values.size() * 4);
        return values;
    }
    size_t Left() const { return bytes_.size() - pos_; }

private:
    void Take(void* out, size_t n) {
        std::memcpy(out, Skip(n).data(), n);
    }
    std::span<const uint8_t> Skip(size_t n) {
        if (n > Left()) throw Truncated{};
        std::span<const uint8_t> part = bytes_.subspan(pos_, n);
        pos_ += n;
        return part;
    }

    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

bool VersionRead(uint32_t v) { return (v >= 2 && v <= 14) || v == 19 || v == 20; }

std::unique_ptr<WeatherRecord> ReadRecord(Reader& in, uint32_t v) {
    auto r = std::make_unique<WeatherRecord>();
    r->text = in.Str();
    r->date = in.F64();
    r->tempHigh = in.F64();
    r->tempLow = in.F64();
    r->type = in.I32();
    r->units = in.I32();
    r->reservedText = in.Str();
    r->windText = in.Str();
    r->pressureText = in.Str();
    r->icon = in.I32();
    r->humidity = in.I32();
    r->windSpeed = in.I32();
    r->windDirection = in.I32();
    r->pressure = in.F64();
    if (v >= 3) {
        r->visibility = in.I32();
        r->uvIndex = in.I32();
        r->received = in.F64();
        r->uvText = in.Str();
    }
    if (v >= 4) r->precipitation = in.I32();
    if (v >= 5) r->description = in.Str();
    if (v >= 6) {
        r->alertEnd = in.F64();
        r->alertType = in.Str();
        r->bulletin = in.Str();
    }
    if (v >= 7) r->alertLocation = in.Str();
    if (v >= 8) {
        r->sunrise = in.F64();
        r->sunset = in.F64();
    }
    if (v >= 9) {
        r->heatIndex = in.F64();
        r->windChill = in.F64();
    }
    if (v >= 10) r->archive = in.Blob();
    if (v >= 11) r->uvIndex = in.I32();
    if (v >= 12) {
        r->moonRise = in.F64();
        r->moonSet = in.F64();
        r->moonPhaseIndex = in.I32();
        r->moonPhaseText = in.Str();
    }
    if (v == 19) r->icon2 = in.I32();
    if (v >= 20) {
        r->mapUrl = in.Str();
        r->mapName = in.Str();
        r->mapIndex = in.I32();
        r->icon2 = in.I32();
    }
    return r;
}

class Writer {
public:
    void U32(uint32_t v) { Put(&v, 4); }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void F64(double v) { Put(&v, 8); }
    void Str(std::u16string_view s) {
        U32(static_cast<uint32_t>((s.size() + 1) * 2));
        if (s.empty()) return;
        Put(s.data(), s.size() * 2);
        U16(0);
    }
    void Blob(const std::vector<int32_t>& values) {
        U32(static_cast<uint32_t>(values.size() * 4));
        Put(values.data(), values.size() * 4);
    }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
    void U16(uint16_t v) { Put(&v, 2); }
    void Put(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    std::vector<uint8_t> bytes_;
};

void WriteRecord(Writer& out, const WeatherRecord& r) {
    out.Str(r.text);
    out.F64(r.date);
    out.F64(r.tempHigh);
    out.F64(r.tempLow);
    out.I32(r.type);
    out.I32(r.units);
    out.Str(r.reservedText);
    out.Str(r.windText);
    out.Str(r.pressureText);
    out.I32(r.icon);
    out.I32(r.humidity);
    out.I32(r.windSpeed);
    out.I32(r.windDirection);
    out.F64(r.pressure);
    out.I32(r.visibility);  // 3
    out.I32(r.uvIndex);
    out.F64(r.received);
    out.Str(r.uvText);
    out.I32(r.precipitation);  // 4
    out.Str(r.description);    // 5
    out.F64(r.alertEnd);       // 6
    out.Str(r.alertType);
    out.Str(r.bulletin);
    out.Str(r.alertLocation);  // 7
    out.F64(r.sunrise);        // 8
    out.F64(r.sunset);
    out.F64(r.heatIndex);  // 9
    out.F64(r.windChill);
    out.Blob(r.archive);  // 10
    out.I32(r.uvIndex);   // 11: written again
    out.F64(r.moonRise);  // 12
    out.F64(r.moonSet);
    out.I32(r.moonPhaseIndex);
    out.Str(r.moonPhaseText);
    out.Str(r.mapUrl);  // 20
    out.Str(r.mapName);
    out.I32(r.mapIndex);
    out.I32(r.icon2);
}

}  // namespace

StoreParse ParseStore(std::span<const uint8_t> bytes) {
    StoreParse result;
    Reader in(bytes);
    try {
        if (in.Str() != kMarker) {
            result.error = StoreError::BadMarker;
            return result;
        }
        result.version = in.U32();
        if (!VersionRead(result.version)) {
            result.error = StoreError::BadVersion;
            return result;
        }
        result.contents.name = in.Str();
        result.contents.code = in.Str();
        result.contents.lastUpdate = in.F64();
        uint32_t count = in.U32();
        // A record takes at least 60 bytes: the count cannot ask for more
        // records than the file can hold.
        result.contents.records.reserve(std::min<size_t>(count, in.Left() / 60 + 1));
        for (uint32_t i = 0; i < count; ++i) result.contents.records.push_back(ReadRecord(in, result.version));
    } catch (const Truncated&) {
        result.error = StoreError::Truncated;
        result.contents = {};
    }
    return result;
}

std::vector<uint8_t> SerializeStore(std::u16string_view name, std::u16string_view code, double lastUpdate,
                                    const CityWeather::Records& records) {
    Writer out;
    out.Str(kMarker);
    out.U32(kStoreVersion);
    out.Str(name);
    out.Str(code);
    out.F64(lastUpdate);
    out.U32(static_cast<uint32_t>(records.size()));
    for (const auto& r : records) WriteRecord(out, *r);
    return out.Take();
}

const char* StoreErrorText(StoreError error) {
    switch (error) {
    case StoreError::None: return "no error";
    case StoreError::BadMarker: return "not a city weather file";
    case StoreError::BadVersion: return "a file version that is not read";
    case StoreError::Truncated: return "the file ends in the middle of a field";
    }
    return "unknown";
}

}  // namespace skyvane::plugin
