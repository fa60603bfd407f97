#include "text/status_text.h"

#include "contract/engine_contract.h"

namespace velmora {

// Accented letters are written as universal character names so the texts do
// not depend on the source or execution character set of the compiler.
std::wstring GetStatusText(std::int16_t status) {
    switch (static_cast<EngineStatus>(status)) {
        case EngineStatus::UpToDate: return L"Actualizacion OK";
        case EngineStatus::DownloadingClient: return L"Bajando cliente completo";
        case EngineStatus::LookingForChanges: return L"Buscando cambios...";
        case EngineStatus::DownloadingChanges: return L"Bajando cambios";
        case EngineStatus::Saving: return L"Guardando...";
        case EngineStatus::ReadingLocalManifest: return L"Leyendo gamedata.vel";
        case EngineStatus::Extracting: return L"Extrayendo...";
        case EngineStatus::HostNotResolved:
        case EngineStatus::ConnectionRefused:
        case EngineStatus::TimedOut:
        case EngineStatus::ConnectionFailed: return L"ERROR: Comprueba tu conexion a internet";
        case EngineStatus::ServerError: return L"Error interno del servidor";
        case EngineStatus::TransferBroken: return L"Error bajando datos. Comprueba si se cort\u00F3 la conexi\u00F3n";
        case EngineStatus::WrongFile: return L"ERROR: Archivo incorrecto";
        case EngineStatus::UpdaterObsolete: return L"ERROR: Este updater es obsoleto";
        case EngineStatus::InvalidFormat: return L"ERROR: Formato inv\u00E1lido";
        default: return {};
    }
}

}  // namespace velmora
