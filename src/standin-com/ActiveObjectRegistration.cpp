#include "standin-com/ActiveObjectRegistration.h"

#include "host/com/ComFailure.h"
#include "standin-com/HostDispatch.h"

#include <winreg.h>

#include <stdexcept>

namespace tagwright::host::com {

const CLSID testServerClsid = {
    0x7b3e9f20, 0x4d61, 0x4a8c, {0x9e, 0x15, 0x63, 0xc2, 0x08, 0xd4, 0x7a, 0x51}};

namespace {

std::wstring progIdPath(std::u16string_view progId) {
    return L"Software\\Classes\\" + std::wstring(wide(progId), progId.size());
}

std::wstring classesPath(std::u16string_view progId) {
    return progIdPath(progId) + L"\\CLSID";
}

void deleteIfEmpty(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    DWORD subkeys = 1, values = 1;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (subkeys == 0 && values == 0) {
        RegDeleteKeyW(root, path.c_str());
    }
}

std::wstring mappingIn(HKEY root, const std::wstring& clsidPath) {
    wchar_t value[128];
    DWORD size = sizeof value;
    if (RegGetValueW(root, clsidPath.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS) {
        return {};
    }
    return value;
}

bool resolvesTo(const std::u16string& progId, const CLSID& clsid) {
    CLSID found{};
    return SUCCEEDED(CLSIDFromProgID(wide(progId), &found)) && IsEqualCLSID(found, clsid);
}

} // namespace

ProgIdRegistration::ProgIdRegistration(std::u16string progId, const CLSID& clsid)
    : progId_(std::move(progId)) {
    wchar_t text[64];
    StringFromGUID2(clsid, text, 64);
    clsidText_ = text;
    // What a killed server left behind is not something to put back later.
    const std::wstring clsidPath = classesPath(progId_);
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        if (_wcsicmp(mappingIn(root, clsidPath).c_str(), clsidText_.c_str()) == 0) {
            RegDeleteKeyValueW(root, clsidPath.c_str(), nullptr);
            deleteIfEmpty(root, clsidPath);
            deleteIfEmpty(root, progIdPath(progId_));
        }
    }
    if (write(HKEY_CURRENT_USER, user_) && resolvesTo(progId_, clsid)) {
        return;
    }
    if (!write(HKEY_LOCAL_MACHINE, machine_) || !resolvesTo(progId_, clsid)) {
        undo(machine_);
        undo(user_);
        throw failureFromHresult(REGDB_E_WRITEREGDB, progId_);
    }
}

ProgIdRegistration::~ProgIdRegistration() {
    undo(machine_);
    undo(user_);
}

bool ProgIdRegistration::write(HKEY root, Written& written) {
    HKEY progIdKey = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(root, progIdPath(progId_).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &progIdKey, &disposition) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(progIdKey);
    written.root = root;
    written.createdProgId = disposition == REG_CREATED_NEW_KEY;

    HKEY clsidKey = nullptr;
    if (RegCreateKeyExW(root, classesPath(progId_).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &clsidKey, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    wchar_t previous[128];
    DWORD size = sizeof previous;
    DWORD type = 0;
    if (RegQueryValueExW(clsidKey, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(previous),
                         &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        written.previous.assign(previous, size / sizeof(wchar_t));
        while (!written.previous.empty() && written.previous.back() == 0) {
            written.previous.pop_back();
        }
        written.hadValue = true;
    }
    LONG status = RegSetValueExW(clsidKey, nullptr, 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(clsidText_.c_str()),
                                 static_cast<DWORD>((clsidText_.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(clsidKey);
    return status == ERROR_SUCCESS;
}

void ProgIdRegistration::undo(const Written& written) {
    if (!written.root) {
        return;
    }
    std::wstring path = classesPath(progId_);
    if (written.createdProgId) {
        RegDeleteTreeW(written.root, progIdPath(progId_).c_str());
        return;
    }
    HKEY clsidKey = nullptr;
    if (RegOpenKeyExW(written.root, path.c_str(), 0, KEY_ALL_ACCESS, &clsidKey) != ERROR_SUCCESS) {
        return;
    }
    if (written.hadValue) {
        RegSetValueExW(clsidKey, nullptr, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(written.previous.c_str()),
                       static_cast<DWORD>((written.previous.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(clsidKey);
        return;
    }
    RegDeleteValueW(clsidKey, nullptr);
    RegCloseKey(clsidKey);
    deleteIfEmpty(written.root, path);
    deleteIfEmpty(written.root, progIdPath(progId_));
}

bool isRunning(const CLSID& clsid) {
    ComPtr<IUnknown> running;
    return SUCCEEDED(GetActiveObject(clsid, nullptr, running.put())) && running;
}

ActiveObjectRegistration::ActiveObjectRegistration(ObjectRef application, const CLSID& clsid,
                                                   ServingOptions options,
                                                   std::optional<CLSID> alias) {
    if (isRunning(clsid)) {
        throw std::runtime_error("a test server is already in the running object table");
    }
    ComPtr<IDispatch> served =
        HostDispatch::serve(std::move(application), options, ServedRole::Application);
    // A strong registration keeps the object alive until it is revoked, as an editor's does.
    HRESULT hr = RegisterActiveObject(served.get(), clsid, ACTIVEOBJECT_STRONG, &cookie_);
    if (SUCCEEDED(hr) && alias && !IsEqualCLSID(*alias, clsid)) {
        hr = RegisterActiveObject(served.get(), *alias, ACTIVEOBJECT_STRONG, &aliasCookie_);
        if (FAILED(hr)) {
            RevokeActiveObject(cookie_, nullptr);
        }
    }
    if (FAILED(hr)) {
        throw failureFromHresult(hr, u"RegisterActiveObject");
    }
}

ActiveObjectRegistration::~ActiveObjectRegistration() {
    if (aliasCookie_) {
        RevokeActiveObject(aliasCookie_, nullptr);
    }
    RevokeActiveObject(cookie_, nullptr);
}

CLSID testProgIdClass() {
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(wide(testServerProgId), &clsid))) {
        return testServerClsid;
    }
    return clsid;
}

} // namespace tagwright::host::com
