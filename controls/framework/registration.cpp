#include "framework/registration.h"

#include <optional>
#include <vector>

#include "framework/registration_scopes.h"
#include "winsupport/owners_win.h"

namespace velmora::controls {
namespace {

// The ActiveX control category.
constexpr wchar_t kControlCategory[] = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";

// Each scope's classes: the machine's (HKEY_LOCAL_MACHINE) or the user's
// (HKEY_CURRENT_USER) "Software\Classes". These are named apart rather
// than written through HKEY_CLASSES_ROOT, the merged view, because the
// view sends a write to whichever of the two already holds the key.
HKEY RootOf(RegistrationScope scope) {
    return scope == RegistrationScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

std::wstring InClasses(const std::wstring& key) { return L"Software\\Classes\\" + key; }

// One key under a scope's classes and, when data is given, one string value
// in it (valueName nullptr: the key's default value). Parents come before
// their children.
struct Entry {
    std::wstring key;
    const wchar_t* valueName;
    std::optional<std::wstring> data;
};

std::vector<Entry> ClassEntries(const ControlClass& control, const std::wstring& modulePath) {
    const std::wstring key = L"CLSID\\" + GuidText(control.clsid);
    return {
        {key, nullptr, control.readableName},
        {key + L"\\InprocServer32", nullptr, modulePath},
        {key + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
        {key + L"\\ProgID", nullptr, control.progId},
        {key + L"\\Control", nullptr, std::nullopt},
        {key + L"\\MiscStatus", nullptr, L"0"},
        {key + L"\\MiscStatus\\1", nullptr, std::to_wstring(kControlMiscStatus)},
        {key + L"\\Implemented Categories", nullptr, std::nullopt},
        {key + L"\\Implemented Categories\\" + kControlCategory, nullptr, std::nullopt},
    };
}

std::vector<Entry> ProgIdEntries(const ControlClass& control) {
    return {
        {control.progId, nullptr, control.readableName},
        {std::wstring(control.progId) + L"\\CLSID", nullptr, GuidText(control.clsid)},
    };
}

bool Beneath(const std::wstring& key, const std::wstring& parent) {
    return key.size() > parent.size() && key[parent.size()] == L'\\' && key.compare(0, parent.size(), parent) == 0;
}

// Writes the entries in order with as few registry calls as they allow:
// each key is created once and its values are all set through that one
// handle, and a key without a value of its own is not created apart from
// the entry right after it that lies beneath it (creating a key creates the
// keys above it).
LSTATUS WriteEntries(HKEY root, const std::vector<Entry>& entries) {
    UniqueRegistryKey key;
    const std::wstring* keyName = nullptr;  // the name of the key `key` holds open
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        const bool createdWithNext = !entry.data && i + 1 < entries.size() && Beneath(entries[i + 1].key, entry.key);
        if (createdWithNext) continue;
        if (!keyName || *keyName != entry.key) {
            const LSTATUS status =
                ::RegCreateKeyExW(root, InClasses(entry.key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE, nullptr, key.put(), nullptr);
            if (status != ERROR_SUCCESS) return status;
            keyName = &entry.key;
        }
        if (!entry.data) continue;
        const auto bytes = static_cast<DWORD>((entry.data->size() + 1) * sizeof(wchar_t));
        const LSTATUS status = ::RegSetValueExW(key.get(), entry.valueName, 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(entry.data->c_str()), bytes);
        if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
}

std::optional<std::wstring> ReadDefaultValue(HKEY root, const std::wstring& key) {
    wchar_t text[64] = {};
    DWORD bytes = sizeof text;
    if (::RegGetValueW(root, InClasses(key).c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text);
}

LSTATUS DeleteValue(HKEY root, const Entry& entry) {
    UniqueRegistryKey key;
    const LSTATUS status = ::RegOpenKeyExW(root, InClasses(entry.key).c_str(), 0, KEY_SET_VALUE, key.put());
    if (status != ERROR_SUCCESS) return status;
    return ::RegDeleteValueW(key.get(), entry.valueName);
}

LSTATUS DeleteKeyIfEmpty(HKEY root, const std::wstring& key) {
    const std::wstring path = InClasses(key);
    DWORD subkeys = 0;
    DWORD values = 0;
    LSTATUS status = ERROR_SUCCESS;
    {
        UniqueRegistryKey key;
        status = ::RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, key.put());
        if (status != ERROR_SUCCESS) return status;
        status = ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                    nullptr, nullptr, nullptr, nullptr);
    }
    if (status != ERROR_SUCCESS || subkeys != 0 || values != 0) return status;
    return ::RegDeleteKeyW(root, path.c_str());
}

LSTATUS RemoveEntries(HKEY root, const ControlClass& control) {
    auto entries = ClassEntries(control, {});
    // Another library may have taken the ProgID over since; then it is theirs.
    const auto progIdClass = ReadDefaultValue(root, std::wstring(control.progId) + L"\\CLSID");
    if (progIdClass && ::CompareStringOrdinal(progIdClass->c_str(), -1, GuidText(control.clsid).c_str(), -1,
                                              TRUE) == CSTR_EQUAL) {
        for (auto& entry : ProgIdEntries(control)) entries.push_back(std::move(entry));
    }
    LSTATUS firstFailure = ERROR_SUCCESS;
    auto note = [&](LSTATUS status) {
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND && firstFailure == ERROR_SUCCESS)
            firstFailure = status;
    };
    // Children first, so that each key is empty by the time it is looked at.
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        if (entry->data) note(DeleteValue(root, *entry));
        note(DeleteKeyIfEmpty(root, entry->key));
    }
    return firstFailure;
}

// The class's entries in either scope; the decision which scope is used
// lies in registration_scopes.h.
class ControlClassEntries final : public ScopedClassEntries {
public:
    ControlClassEntries(const ControlClass& control, const std::wstring& modulePath)
        : control_(control), modulePath_(modulePath) {}

    RegistryStatus Write(RegistrationScope scope) override {
        auto entries = ClassEntries(control_, modulePath_);
        for (auto& entry : ProgIdEntries(control_)) entries.push_back(std::move(entry));
        return WriteEntries(RootOf(scope), entries);
    }
    RegistryStatus Remove(RegistrationScope scope) override { return RemoveEntries(RootOf(scope), control_); }

private:
    const ControlClass& control_;
    std::wstring modulePath_;
};

HRESULT ToResult(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

}  // namespace

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    const int length = ::StringFromGUID2(guid, text, 40);
    return std::wstring(text, length > 0 ? static_cast<size_t>(length - 1) : 0);
}

HRESULT RegisterControl(const ControlClass& control, const std::wstring& modulePath) {
    if (modulePath.empty()) return E_UNEXPECTED;
    ControlClassEntries entries(control, modulePath);
    return ToResult(RegisterForMachineOrUser(entries));
}

HRESULT UnregisterControl(const ControlClass& control) {
    ControlClassEntries entries(control, {});
    return ToResult(UnregisterFromBoth(entries));
}

}  // namespace velmora::controls
