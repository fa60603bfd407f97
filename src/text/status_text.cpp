#include "text/status_text.h"

namespace velmora {

// Accented letters are written as universal character names so the texts do
// not depend on the source or execution character set of the compiler.
std::wstring GetStatusText(std::int16_t status) {
    switch (status) {
        case 1: return L"Actualizacion OK";
        case 2: return L"Bajando cliente completo";
        case 3: return L"Buscando cambios...";
        case 4: return L"Bajando cambios";
        case 5: return L"Guardando...";
        case 6: return L"Leyendo gamedata.vel";
        case 7: return L"Extrayendo...";
        case -1:
        case -2:
        case -3:
        case -4: return L"ERROR: Comprueba tu conexion a internet";
        case -5: return L"Error interno del servidor";
        case -6: return L"Error bajando datos. Comprueba si se cort\u00F3 la conexi\u00F3n";
        case -7: return L"ERROR: Archivo incorrecto";
        case -8: return L"ERROR: Este updater es obsoleto";
        case -9: return L"ERROR: Formato inv\u00E1lido";
        default: return {};
    }
}

}  // namespace velmora
