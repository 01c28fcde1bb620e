#include "host/com/server/ActiveObjectRegistration.h"

#include "host/com/ComFailure.h"
#include "host/com/server/HostDispatch.h"

#include <winreg.h>

namespace tagwright::host::com {

const CLSID testServerClsid = {
    0x7b3e9f20, 0x4d61, 0x4a8c, {0x9e, 0x15, 0x63, 0xc2, 0x08, 0xd4, 0x7a, 0x51}};

namespace {

std::wstring classesPath(std::u16string_view progId) {
    return L"Software\\Classes\\" + std::wstring(wide(progId), progId.size()) + L"\\CLSID";
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
    std::wstring progIdPath = classesPath(progId_);
    progIdPath.resize(progIdPath.size() - std::wstring_view(L"\\CLSID").size());
    HKEY progIdKey = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(root, progIdPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
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
        written.hadValue = true;
        written.previous.assign(previous, size / sizeof(wchar_t));
        while (!written.previous.empty() && written.previous.back() == 0) {
            written.previous.pop_back();
        }
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
        std::wstring progIdPath =
            path.substr(0, path.size() - std::wstring_view(L"\\CLSID").size());
        RegDeleteTreeW(written.root, progIdPath.c_str());
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
    } else {
        RegDeleteValueW(clsidKey, nullptr);
    }
    RegCloseKey(clsidKey);
}

ActiveObjectRegistration::ActiveObjectRegistration(ObjectRef application, std::u16string progId,
                                                   const CLSID& clsid)
    : progId_(progId, clsid) {
    ComPtr<IDispatch> served = HostDispatch::serve(std::move(application));
    // A strong registration keeps the object alive until it is revoked, as an editor's does.
    HRESULT hr = RegisterActiveObject(served.get(), clsid, ACTIVEOBJECT_STRONG, &cookie_);
    if (FAILED(hr)) {
        throw failureFromHresult(hr, progId);
    }
}

ActiveObjectRegistration::~ActiveObjectRegistration() {
    RevokeActiveObject(cookie_, nullptr);
}

} // namespace tagwright::host::com
