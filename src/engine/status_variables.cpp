#include "engine/status_variables.h"

namespace velmora {

EngineStatusVariables& ProgramStatusVariables() {
    static EngineStatusVariables variables;
    return variables;
}

}  // namespace velmora
