// The ports on Windows: each COM name the system maps to a device, with the
// friendly name the device installer gave the port ("USB Serial Port (COM4)").

#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <array>
#include <map>
#include <string>

#include "core/visible.h"
#include "serial/port_list.h"

namespace zuv {

namespace {

std::string registry_text(HKEY key, const char* value) {
    std::array<char, 256> buf{};
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buf.size() - 1);
    if (RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    return std::string(buf.data());
}

std::string friendly_name(HDEVINFO set, SP_DEVINFO_DATA& info) {
    std::array<char, 256> buf{};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &info, SPDRP_FRIENDLYNAME, &type, reinterpret_cast<BYTE*>(buf.data()),
                                           static_cast<DWORD>(buf.size() - 1), nullptr))
        return {};
    return std::string(buf.data());
}

// "COM4" -> "USB Serial Port (COM4)", for the ports the device installer knows.
std::map<std::string, std::string> friendly_names() {
    std::map<std::string, std::string> names;
    const HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return names;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
        const HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        const std::string port = registry_text(key, "PortName");
        RegCloseKey(key);
        const std::string name = friendly_name(set, info);
        if (!port.empty() && !name.empty()) names[port] = name;
    }
    SetupDiDestroyDeviceInfoList(set);
    return names;
}

// The device a COM name leads to, or empty when the system has no such port.
std::string dos_device_target(const std::string& name) {
    std::array<char, 1024> buf{};
    if (QueryDosDeviceA(name.c_str(), buf.data(), static_cast<DWORD>(buf.size())) == 0) return {};
    return std::string(buf.data());
}

}  // namespace

void list_ports(output& out) {
    const std::map<std::string, std::string> names = friendly_names();
    int found = 0;
    for (int n = 1; n <= max_com_number; ++n) {
        const std::string port = "COM" + std::to_string(n);
        const std::string target = dos_device_target(port);
        if (target.empty()) continue;
        if (found++ == 0) out.put("COM ports:\n");
        out.print("  %s -> %s", port.c_str(), visible(out, target).c_str());
        if (const auto it = names.find(port); it != names.end()) out.print(": %s", visible(out, it->second).c_str());
        out.put("\n");
    }
    if (found == 0) out.put("COM ports: none found\n");
}

}  // namespace zuv
