#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "framework/registration_scopes.h"

namespace velmora::controls {
namespace {

constexpr RegistryStatus kAccessDenied = 5;
constexpr RegistryStatus kOther = 1021;

// Records each step ("write machine", "remove user", ...) and answers with
// the status the case sets for it, 0 when none.
class RecordingEntries final : public ScopedClassEntries {
public:
    explicit RecordingEntries(std::map<std::string, RegistryStatus> answers) : answers_(std::move(answers)) {}

    RegistryStatus Write(RegistrationScope scope) override { return Step("write", scope); }
    RegistryStatus Remove(RegistrationScope scope) override { return Step("remove", scope); }

    std::vector<std::string> steps;

private:
    RegistryStatus Step(const std::string& what, RegistrationScope scope) {
        steps.push_back(what + (scope == RegistrationScope::Machine ? " machine" : " user"));
        const auto answer = answers_.find(steps.back());
        return answer == answers_.end() ? 0 : answer->second;
    }
    std::map<std::string, RegistryStatus> answers_;
};

using Steps = std::vector<std::string>;

TEST(ControlRegistrationScopes, MachineFirstUserWhenRefusedBothRemoved) {
    const struct {
        const char* name;
        bool registering;
        std::map<std::string, RegistryStatus> answers;
        Steps steps;
        RegistryStatus result;
    } cases[] = {
        // The user's own registration would shadow the machine's.
        {"machine takes it", true, {}, {"write machine", "remove user"}, 0},
        {"user's stays behind", true, {{"remove user", kOther}}, {"write machine", "remove user"}, kOther},
        {"machine refuses", true, {{"write machine", kAccessDenied}}, {"write machine", "write user"}, 0},
        {"machine fails otherwise", true, {{"write machine", kOther}}, {"write machine", "write user"}, 0},
        {"both refuse", true, {{"write machine", kAccessDenied}, {"write user", kOther}},
         {"write machine", "write user"}, kOther},
        {"both removed", false, {}, {"remove machine", "remove user"}, 0},
        {"machine's stays", false, {{"remove machine", kAccessDenied}}, {"remove machine", "remove user"},
         kAccessDenied},
        {"user's stays", false, {{"remove user", kOther}}, {"remove machine", "remove user"}, kOther},
        {"neither removed", false, {{"remove machine", kAccessDenied}, {"remove user", kOther}},
         {"remove machine", "remove user"}, kAccessDenied},
    };
    for (const auto& c : cases) {
        RecordingEntries entries(c.answers);
        const RegistryStatus result =
            c.registering ? RegisterForMachineOrUser(entries) : UnregisterFromBoth(entries);
        EXPECT_EQ(entries.steps, c.steps) << c.name;
        EXPECT_EQ(result, c.result) << c.name;
    }
}

}  // namespace
}  // namespace velmora::controls
