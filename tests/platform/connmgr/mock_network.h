// A private D-Bus daemon with NetworkManager and ModemManager mocks on it
// (python3-dbusmock's networkmanager template and our modemmanager_mock.py),
// started by a test and stopped with everything it started when the object
// goes away.
#pragma once

#include <sys/types.h>
#include <systemd/sd-bus.h>

#include <cstdint>
#include <memory>
#include <string>

namespace skyvane::test {

// What a scenario asks NetworkManager to report.
struct NetworkManagerScene {
    const char* primaryType;  // PrimaryConnectionType; "" for none
    uint32_t connectivity;    // NMConnectivityState
    uint32_t state;           // NMState
    uint32_t metered;         // NMMetered
};

class MockNetwork {
public:
    // Whether dbus-daemon and python3-dbusmock are installed; else *missing names them.
    static bool Available(std::string* missing);

    MockNetwork() = default;
    ~MockNetwork();
    MockNetwork(const MockNetwork&) = delete;
    MockNetwork& operator=(const MockNetwork&) = delete;

    // Starts the bus and both mocks; an empty text, or why they did not start.
    std::string Start();
    const std::string& address() const { return address_; }

    // Sets NetworkManager's devices (a Wi-Fi and an Ethernet device), its
    // primary connection and global state as the scene says; an empty text or
    // the error.
    std::string SetNetworkManager(const NetworkManagerScene& scene);
    // ModemManager with no modem (registration 0) or one modem in that 3GPP
    // registration state.
    std::string SetModem(uint32_t registration);
    // One property of NetworkManager's main object, changed as the daemon
    // changes it ("Metered" with type "u", ...).
    std::string ChangeManagerProperty(const char* name, const char* type, uint32_t value);

    // NetworkManager leaves the bus / stays on it but stops answering.
    std::string StopNetworkManager();
    void PauseNetworkManager();

    // Calls a method on the private bus; an empty text, or the error. The
    // reply's first value is put in *reply when it is a string or path.
    template <class... Args>
    std::string Call(const char* service, const char* path, const char* interface, const char* member,
                     std::string* reply, const char* types, Args... args);

private:
    std::string StartMock(const std::string& service, const std::string& templ, pid_t* pid);
    std::string OpenClient(std::unique_ptr<sd_bus, sd_bus* (*)(sd_bus*)>* bus) const;

    std::string dir_;
    std::string address_;
    pid_t daemon_ = -1, networkManager_ = -1, modemManager_ = -1;
    bool paused_ = false;
};

template <class... Args>
std::string MockNetwork::Call(const char* service, const char* path, const char* interface, const char* member,
                              std::string* reply, const char* types, Args... args) {
    std::unique_ptr<sd_bus, sd_bus* (*)(sd_bus*)> bus(nullptr, sd_bus_flush_close_unref);
    if (std::string error = OpenClient(&bus); !error.empty()) return error;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* answer = nullptr;
    int r = sd_bus_call_method(bus.get(), service, path, interface, member, &error, &answer, types, args...);
    std::string why;
    if (r < 0) {
        why = std::string(member) + ": " + (error.message ? error.message : "failed");
    } else if (reply) {
        char type = 0;
        const char* contents = nullptr;
        const char* text = nullptr;
        if (sd_bus_message_peek_type(answer, &type, &contents) > 0 && (type == 's' || type == 'o') &&
            sd_bus_message_read_basic(answer, type, &text) > 0)
            *reply = text;
    }
    sd_bus_message_unref(answer);
    sd_bus_error_free(&error);
    return why;
}

}  // namespace skyvane::test
