#include "discovery/setupapi_com_ports.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <devpropdef.h>
#include <setupapi.h>

#include <cwchar>
#include <vector>

namespace kvu::win {

namespace {

// Spelled out here so that no GUID-defining header or INITGUID is needed.
// GUID_DEVINTERFACE_COMPORT {86E0D1E0-8089-11D0-9CE4-08003E301F73}
const GUID kComPortInterface = {
    0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};
// DEVPKEY_Device_Parent {4340A6C5-93FA-4706-972C-7B648008A5A7}, 8
const DEVPROPKEY kDeviceParent = {
    {0x4340A6C5, 0x93FA, 0x4706, {0x97, 0x2C, 0x7B, 0x64, 0x80, 0x08, 0xA5, 0xA7}}, 8};

constexpr DWORD kPortNameBytes = 512;
constexpr DWORD kParentBytes = 4096;

void report(const ComPortVisitor& visitor, ComPortFailure failure) {
    if (visitor.failed) {
        visitor.failed(failure);
    }
}

// Text up to the first zero, never past the buffer even when the system left no terminator.
std::wstring textOf(const wchar_t* buffer, std::size_t capacity) {
    return std::wstring(buffer, wcsnlen(buffer, capacity));
}

}  // namespace

bool walkComPorts(const ComPortVisitor& visitor) {
    HDEVINFO set = SetupDiGetClassDevsW(&kComPortInterface, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) {
        report(visitor, ComPortFailure::GetClassDevs);
        return false;
    }

    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof(info);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &info); ++index) {
        HKEY key =
            SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE) {
            report(visitor, ComPortFailure::OpenDevRegKey);
            continue;
        }
        wchar_t portName[kPortNameBytes / sizeof(wchar_t)] = {};
        DWORD portNameBytes = kPortNameBytes;
        DWORD valueType = 0;  // not checked: any type holding text will do
        const LONG queried = RegQueryValueExW(key, L"PortName", nullptr, &valueType,
                                              reinterpret_cast<BYTE*>(portName), &portNameBytes);
        RegCloseKey(key);
        if (queried != ERROR_SUCCESS) {
            report(visitor, ComPortFailure::QueryPortName);
            continue;
        }

        ComPortIds ids;
        ids.portName = textOf(portName, kPortNameBytes / sizeof(wchar_t));

        std::vector<wchar_t> parent(kParentBytes / sizeof(wchar_t), L'\0');
        DEVPROPTYPE propertyType = 0;
        if (!SetupDiGetDevicePropertyW(set, &info, &kDeviceParent, &propertyType,
                                       reinterpret_cast<PBYTE>(parent.data()), kParentBytes,
                                       nullptr, 0)) {
            report(visitor, ComPortFailure::GetParent);
            continue;
        }
        ids.parentInstanceId = textOf(parent.data(), parent.size());
        if (visitor.acceptParent && !visitor.acceptParent(ids)) {
            continue;
        }

        // First call only learns the size; its own result says nothing useful.
        DWORD required = 0;
        SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_HARDWAREID, nullptr, nullptr, 0,
                                          &required);
        std::vector<BYTE> hardwareIds(required, 0);
        if (!SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_HARDWAREID, nullptr,
                                               hardwareIds.data(), required, nullptr)) {
            report(visitor, ComPortFailure::GetHardwareIds);
            continue;
        }
        ids.firstHardwareId = textOf(reinterpret_cast<const wchar_t*>(hardwareIds.data()),
                                     hardwareIds.size() / sizeof(wchar_t));
        // Where the device is plugged in, so that a port maps to a hub socket; optional.
        wchar_t location[256] = {};
        if (SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_LOCATION_INFORMATION, nullptr,
                                              reinterpret_cast<PBYTE>(location), sizeof(location),
                                              nullptr)) {
            ids.location = textOf(location, std::size(location));
        }
        if (visitor.port) {
            visitor.port(ids);
        }
    }

    SetupDiDestroyDeviceInfoList(set);
    return true;
}

}  // namespace kvu::win
