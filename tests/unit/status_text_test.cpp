#include <gtest/gtest.h>

#include "text/status_text.h"

namespace velmora {
namespace {

struct StatusCase {
    std::int16_t status;
    const wchar_t* text;
};

TEST(GetStatusText, EveryCodeWithAMessage) {
    const StatusCase cases[] = {
        {1, L"Actualizacion OK"},
        {2, L"Bajando cliente completo"},
        {3, L"Buscando cambios..."},
        {4, L"Bajando cambios"},
        {5, L"Guardando..."},
        {6, L"Leyendo gamedata.vel"},
        {7, L"Extrayendo..."},
        {-1, L"ERROR: Comprueba tu conexion a internet"},
        {-2, L"ERROR: Comprueba tu conexion a internet"},
        {-3, L"ERROR: Comprueba tu conexion a internet"},
        {-4, L"ERROR: Comprueba tu conexion a internet"},
        {-5, L"Error interno del servidor"},
        {-7, L"ERROR: Archivo incorrecto"},
        {-8, L"ERROR: Este updater es obsoleto"},
    };
    for (const auto& c : cases) EXPECT_EQ(GetStatusText(c.status), c.text) << "status " << c.status;
}

TEST(GetStatusText, AccentedTextsCarryTheRightCharacters) {
    // Checked code unit by code unit so that a wrong source or execution
    // character set cannot make both sides wrong in the same way.
    const std::wstring broken = GetStatusText(-6);
    ASSERT_EQ(broken.size(), 54u);
    EXPECT_EQ(broken.substr(0, 38), L"Error bajando datos. Comprueba si se c");
    EXPECT_EQ(static_cast<unsigned>(broken[41]), 0xF3u);  // o with acute accent, "corto"
    EXPECT_EQ(static_cast<unsigned>(broken[52]), 0xF3u);  // "conexion"
    const std::wstring invalid = GetStatusText(-9);
    ASSERT_EQ(invalid.size(), 23u);
    EXPECT_EQ(invalid.substr(0, 16), L"ERROR: Formato i");
    EXPECT_EQ(static_cast<unsigned>(invalid[18]), 0xE1u);  // a with acute accent, "invalido"
}

TEST(GetStatusText, CodesWithoutAMessageGiveEmptyText) {
    for (int status : {0, 8, 9, 100, 32767, -10, -11, -100, -32768})
        EXPECT_EQ(GetStatusText(static_cast<std::int16_t>(status)), L"") << "status " << status;
}

}  // namespace
}  // namespace velmora
