// A short-lived client connection to the D-Bus system bus, for reading the
// properties of the network services (NetworkManager, ModemManager).
//
// Nothing here may hold a caller for long: connecting (socket, authentication,
// Hello) and every call each get kTimeout, and a service that is not on the
// bus answers at once (calls never ask the bus to start a service).
//
// SKYVANE_DBUS_ADDRESS names another bus (a D-Bus address such as
// "unix:path=/tmp/bus"; tests start a private bus and point it there); the
// value "none" means no bus at all. Without it the system bus is used
// (DBUS_SYSTEM_BUS_ADDRESS, else /run/dbus/system_bus_socket).
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

struct sd_bus;

namespace skyvane::connmgr {

// A property value of the types the readers use ("u", "b", "s" or "o", "as" or
// "ao"); a value of any other type reads as std::monostate.
using DbusValue = std::variant<std::monostate, uint32_t, bool, std::string, std::vector<std::string>>;
using DbusProperties = std::map<std::string, DbusValue>;
// What an ObjectManager lists: object path → interface → properties.
using DbusObjects = std::map<std::string, std::map<std::string, DbusProperties>>;

// The result of a call: the value, or why there is none.
template <class T>
struct DbusResult {
    std::optional<T> value;
    std::string error;
    explicit operator bool() const { return value.has_value(); }
    static DbusResult Failed(std::string why) { return {std::nullopt, std::move(why)}; }
};

// The value of one property when it has type T, else fallback.
template <class T>
T PropertyOr(const DbusProperties& properties, const char* name, T fallback) {
    auto it = properties.find(name);
    if (it == properties.end()) return fallback;
    const T* value = std::get_if<T>(&it->second);
    return value ? *value : fallback;
}

class DbusConnection {
public:
    static constexpr std::chrono::milliseconds kTimeout{1000};

    // Connects; when this returns the connection is ready or connected() is
    // false and error() says why.
    DbusConnection();
    ~DbusConnection();
    DbusConnection(const DbusConnection&) = delete;
    DbusConnection& operator=(const DbusConnection&) = delete;

    bool connected() const { return bus_ != nullptr; }
    const std::string& error() const { return error_; }

    // org.freedesktop.DBus.Properties.GetAll and .Get.
    DbusResult<DbusProperties> GetAll(const char* service, const char* path, const char* interface);
    DbusResult<DbusValue> Get(const char* service, const char* path, const char* interface, const char* name);
    // org.freedesktop.DBus.ObjectManager.GetManagedObjects.
    DbusResult<DbusObjects> GetManagedObjects(const char* service, const char* path);

private:
    struct BusDeleter {
        void operator()(sd_bus* bus) const;
    };
    std::unique_ptr<sd_bus, BusDeleter> bus_;
    std::string error_;
};

}  // namespace skyvane::connmgr
