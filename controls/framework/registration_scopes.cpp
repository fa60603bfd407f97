#include "framework/registration_scopes.h"

namespace velmora::controls {

RegistryStatus RegisterForMachineOrUser(ScopedClassEntries& entries) {
    if (entries.Write(RegistrationScope::Machine) != 0) return entries.Write(RegistrationScope::User);
    return entries.Remove(RegistrationScope::User);
}

RegistryStatus UnregisterFromBoth(ScopedClassEntries& entries) {
    const RegistryStatus machine = entries.Remove(RegistrationScope::Machine);
    const RegistryStatus user = entries.Remove(RegistrationScope::User);
    return machine != 0 ? machine : user;
}

}  // namespace velmora::controls
