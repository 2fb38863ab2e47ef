#include "platform/connmgr/dbus_connection.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace skyvane::connmgr {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint64_t kTimeoutUsec = std::chrono::duration_cast<std::chrono::microseconds>(DbusConnection::kTimeout).count();

struct MessageDeleter {
    void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using Message = std::unique_ptr<sd_bus_message, MessageDeleter>;

class BusError {
public:
    ~BusError() { sd_bus_error_free(&error_); }
    sd_bus_error* get() { return &error_; }
    // "name: message" of an error reply, else the text of the errno r.
    std::string Describe(int r) const {
        if (error_.name) return std::string(error_.name) + ": " + (error_.message ? error_.message : "");
        return std::strerror(-r);
    }

private:
    sd_bus_error error_ = SD_BUS_ERROR_NULL;
};

// The readers below return what sd-bus returns: a negative errno on failure.

int ReadValue(sd_bus_message* m, DbusValue& out) {
    char type = 0;
    const char* contents = nullptr;
    int r = sd_bus_message_peek_type(m, &type, &contents);
    if (r < 0) return r;
    if (r == 0 || type != SD_BUS_TYPE_VARIANT) return -EBADMSG;
    if ((r = sd_bus_message_enter_container(m, SD_BUS_TYPE_VARIANT, contents)) < 0) return r;
    const std::string signature = contents;
    if (signature == "u") {
        uint32_t value = 0;
        r = sd_bus_message_read_basic(m, 'u', &value);
        out = value;
    } else if (signature == "b") {
        int value = 0;
        r = sd_bus_message_read_basic(m, 'b', &value);
        out = value != 0;
    } else if (signature == "s" || signature == "o") {
        const char* value = nullptr;
        r = sd_bus_message_read_basic(m, signature[0], &value);
        if (r >= 0) out = std::string(value ? value : "");
    } else if (signature == "as" || signature == "ao") {
        std::vector<std::string> values;
        if ((r = sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, signature.c_str() + 1)) < 0) return r;
        const char* value = nullptr;
        while ((r = sd_bus_message_read_basic(m, signature[1], &value)) > 0) values.emplace_back(value);
        if (r < 0 || (r = sd_bus_message_exit_container(m)) < 0) return r;
        out = std::move(values);
    } else {
        r = sd_bus_message_skip(m, contents);
        out = std::monostate{};
    }
    if (r < 0) return r;
    return sd_bus_message_exit_container(m);
}

// a{sv}
int ReadProperties(sd_bus_message* m, DbusProperties& out) {
    int r = sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "{sv}");
    if (r < 0) return r;
    while ((r = sd_bus_message_enter_container(m, SD_BUS_TYPE_DICT_ENTRY, "sv")) > 0) {
        const char* name = nullptr;
        if ((r = sd_bus_message_read_basic(m, 's', &name)) < 0) return r;
        if ((r = ReadValue(m, out[name])) < 0) return r;
        if ((r = sd_bus_message_exit_container(m)) < 0) return r;
    }
    if (r < 0) return r;
    return sd_bus_message_exit_container(m);
}

// a{oa{sa{sv}}}
int ReadObjects(sd_bus_message* m, DbusObjects& out) {
    int r = sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "{oa{sa{sv}}}");
    if (r < 0) return r;
    while ((r = sd_bus_message_enter_container(m, SD_BUS_TYPE_DICT_ENTRY, "oa{sa{sv}}")) > 0) {
        const char* path = nullptr;
        if ((r = sd_bus_message_read_basic(m, 'o', &path)) < 0) return r;
        auto& interfaces = out[path];
        if ((r = sd_bus_message_enter_container(m, SD_BUS_TYPE_ARRAY, "{sa{sv}}")) < 0) return r;
        while ((r = sd_bus_message_enter_container(m, SD_BUS_TYPE_DICT_ENTRY, "sa{sv}")) > 0) {
            const char* interface = nullptr;
            if ((r = sd_bus_message_read_basic(m, 's', &interface)) < 0) return r;
            if ((r = ReadProperties(m, interfaces[interface])) < 0) return r;
            if ((r = sd_bus_message_exit_container(m)) < 0) return r;
        }
        if (r < 0 || (r = sd_bus_message_exit_container(m)) < 0) return r;  // the interfaces
        if ((r = sd_bus_message_exit_container(m)) < 0) return r;          // the entry
    }
    if (r < 0) return r;
    return sd_bus_message_exit_container(m);
}

// Calls a method with string arguments; the reply, or why there is none.
DbusResult<Message> Call(sd_bus* bus, const char* service, const char* path, const char* interface,
                         const char* member, std::initializer_list<const char*> arguments) {
    sd_bus_message* raw = nullptr;
    int r = sd_bus_message_new_method_call(bus, &raw, service, path, interface, member);
    Message call(raw);
    if (r < 0) return DbusResult<Message>::Failed(std::string("cannot build the call: ") + std::strerror(-r));
    sd_bus_message_set_auto_start(call.get(), 0);  // a service that does not run stays off
    for (const char* argument : arguments) {
        if ((r = sd_bus_message_append_basic(call.get(), 's', argument)) < 0)
            return DbusResult<Message>::Failed(std::string("cannot build the call: ") + std::strerror(-r));
    }
    BusError error;
    sd_bus_message* reply = nullptr;
    r = sd_bus_call(bus, call.get(), kTimeoutUsec, error.get(), &reply);
    Message owned(reply);
    if (r < 0) {
        return DbusResult<Message>::Failed(std::string(service) + " " + member + ": " +
                                           (r == -ETIMEDOUT ? "no answer within the time-out" : error.Describe(r)));
    }
    return {std::move(owned), {}};
}

template <class T>
DbusResult<T> Parsed(int r, T value, const char* service) {
    if (r < 0) return DbusResult<T>::Failed(std::string(service) + ": unreadable answer: " + std::strerror(-r));
    return {std::move(value), {}};
}

}  // namespace

void DbusConnection::BusDeleter::operator()(sd_bus* bus) const {
    sd_bus_close_unref(bus);
}

DbusConnection::DbusConnection() {
    const char* address = std::getenv("SKYVANE_DBUS_ADDRESS");
    if (address && std::strcmp(address, "none") == 0) {
        error_ = "no bus (SKYVANE_DBUS_ADDRESS=none)";
        return;
    }
    sd_bus* raw = nullptr;
    int r = 0;
    if (address && *address) {
        r = sd_bus_new(&raw);
        if (r >= 0) r = sd_bus_set_address(raw, address);
        if (r >= 0) r = sd_bus_set_bus_client(raw, 1);
        if (r >= 0) r = sd_bus_start(raw);
    } else {
        r = sd_bus_open_system(&raw);
    }
    std::unique_ptr<sd_bus, BusDeleter> bus(raw);
    const std::string where = address && *address ? address : "the system bus";
    if (r < 0) {
        error_ = "cannot connect to " + where + ": " + std::strerror(-r);
        return;
    }
    // sd_bus_call would wait for the authentication and the Hello reply with
    // sd-bus's own long time-out; a bus that does not answer must not hold
    // the caller, so the start is driven here against our own deadline.
    const auto deadline = Clock::now() + kTimeout;
    while ((r = sd_bus_is_ready(bus.get())) == 0) {
        if ((r = sd_bus_process(bus.get(), nullptr)) < 0) break;
        if (r > 0) continue;
        auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            error_ = where + " does not answer";
            return;
        }
        if ((r = sd_bus_wait(bus.get(), static_cast<uint64_t>(left))) < 0) break;
    }
    if (r < 0) {
        error_ = "cannot connect to " + where + ": " + std::strerror(-r);
        return;
    }
    bus_ = std::move(bus);
}

DbusConnection::~DbusConnection() = default;

DbusResult<DbusProperties> DbusConnection::GetAll(const char* service, const char* path, const char* interface) {
    if (!bus_) return DbusResult<DbusProperties>::Failed(error_);
    auto reply = Call(bus_.get(), service, path, "org.freedesktop.DBus.Properties", "GetAll", {interface});
    if (!reply) return DbusResult<DbusProperties>::Failed(reply.error);
    DbusProperties properties;
    int r = ReadProperties(reply.value->get(), properties);
    return Parsed(r, std::move(properties), service);
}

DbusResult<DbusValue> DbusConnection::Get(const char* service, const char* path, const char* interface,
                                          const char* name) {
    if (!bus_) return DbusResult<DbusValue>::Failed(error_);
    auto reply = Call(bus_.get(), service, path, "org.freedesktop.DBus.Properties", "Get", {interface, name});
    if (!reply) return DbusResult<DbusValue>::Failed(reply.error);
    DbusValue value;
    int r = ReadValue(reply.value->get(), value);
    return Parsed(r, std::move(value), service);
}

DbusResult<DbusObjects> DbusConnection::GetManagedObjects(const char* service, const char* path) {
    if (!bus_) return DbusResult<DbusObjects>::Failed(error_);
    auto reply = Call(bus_.get(), service, path, "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", {});
    if (!reply) return DbusResult<DbusObjects>::Failed(reply.error);
    DbusObjects objects;
    int r = ReadObjects(reply.value->get(), objects);
    return Parsed(r, std::move(objects), service);
}

}  // namespace skyvane::connmgr
