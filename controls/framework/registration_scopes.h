#pragma once
// Where a control class gets registered: for the whole machine when the
// machine's class registry takes the entries, otherwise for the user who
// registers it (a player without administrator rights), in the user's
// classes, which COM reads before the machine's. Portable: registration.cpp
// performs the registry work in each scope.
namespace velmora::controls {

enum class RegistrationScope { Machine, User };

// A system error code; 0 is success.
using RegistryStatus = long;

// The registry entries of one class, written or removed in one scope.
class ScopedClassEntries {
public:
    virtual ~ScopedClassEntries() = default;
    // Writes every entry; the first failure, or 0.
    virtual RegistryStatus Write(RegistrationScope scope) = 0;
    // Removes the entries; entries already gone count as removed.
    virtual RegistryStatus Remove(RegistrationScope scope) = 0;
};

// Writes the class for the machine and, when that fails for any reason,
// for the user; the user's result is then the result. After a machine-wide
// registration the user's own registration of the class is removed: COM
// would find it first, and it may name a library that has since moved.
RegistryStatus RegisterForMachineOrUser(ScopedClassEntries& entries);

// Removes the class from both scopes, the second also when the first
// fails. 0 when both are gone (or never held it), else the first failure.
RegistryStatus UnregisterFromBoth(ScopedClassEntries& entries);

}  // namespace velmora::controls
