#include "framework/registration.h"

#include <optional>
#include <vector>

#include "winsupport/owners_win.h"

namespace velmora::controls {
namespace {

// The ActiveX control category.
constexpr wchar_t kControlCategory[] = L"{40FC6ED4-2438-11CF-A3DB-080036F12502}";

// One key under HKEY_CLASSES_ROOT and, when data is given, one string value
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
LSTATUS WriteEntries(const std::vector<Entry>& entries) {
    UniqueRegistryKey key;
    const std::wstring* keyName = nullptr;  // the name of the key `key` holds open
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        const bool createdWithNext = !entry.data && i + 1 < entries.size() && Beneath(entries[i + 1].key, entry.key);
        if (createdWithNext) continue;
        if (!keyName || *keyName != entry.key) {
            HKEY raw = nullptr;
            const LSTATUS status = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, entry.key.c_str(), 0, nullptr,
                                                     REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &raw, nullptr);
            if (status != ERROR_SUCCESS) return status;
            key.reset(raw);
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

std::optional<std::wstring> ReadDefaultValue(const std::wstring& key) {
    wchar_t text[64] = {};
    DWORD bytes = sizeof text;
    if (::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text);
}

LSTATUS DeleteValue(const Entry& entry) {
    HKEY raw = nullptr;
    LSTATUS status = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, entry.key.c_str(), 0, KEY_SET_VALUE, &raw);
    if (status != ERROR_SUCCESS) return status;
    const UniqueRegistryKey key(raw);
    return ::RegDeleteValueW(key.get(), entry.valueName);
}

LSTATUS DeleteKeyIfEmpty(const std::wstring& path) {
    HKEY raw = nullptr;
    LSTATUS status = ::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &raw);
    if (status != ERROR_SUCCESS) return status;
    DWORD subkeys = 0;
    DWORD values = 0;
    {
        const UniqueRegistryKey key(raw);
        status = ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                    nullptr, nullptr, nullptr, nullptr);
    }
    if (status != ERROR_SUCCESS || subkeys != 0 || values != 0) return status;
    return ::RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
}

HRESULT ToResult(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

}  // namespace

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    const int length = ::StringFromGUID2(guid, text, 40);
    return std::wstring(text, length > 0 ? static_cast<size_t>(length - 1) : 0);
}

HRESULT RegisterControl(const ControlClass& control, const std::wstring& modulePath) {
    if (modulePath.empty()) return E_UNEXPECTED;
    auto entries = ClassEntries(control, modulePath);
    for (auto& entry : ProgIdEntries(control)) entries.push_back(std::move(entry));
    return ToResult(WriteEntries(entries));
}

HRESULT UnregisterControl(const ControlClass& control) {
    auto entries = ClassEntries(control, {});
    // Another library may have taken the ProgID over since; then it is theirs.
    const auto progIdClass = ReadDefaultValue(std::wstring(control.progId) + L"\\CLSID");
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
        if (entry->data) note(DeleteValue(*entry));
        note(DeleteKeyIfEmpty(entry->key));
    }
    return ToResult(firstFailure);
}

}  // namespace velmora::controls
