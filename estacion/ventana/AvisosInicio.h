#pragma once

#include <string>

#include "resguardo/Bitacora.h"

// What a desktop start that cannot go on tells, and where: standard error
// always; the system log and a message box when the operator must mend
// something. Offscreen nobody could answer a box, so none is shown there.
namespace AvisosInicio {

inline constexpr char kMensajeNoAbre[] =
    "Puerto no se puede abrir. Intente nuevamente o con otro Puerto...";
inline constexpr char kTituloNoAbre[] = "Error - Verificar configuraciones";

bool HayPantalla();
// No CAPTURA.INI and no screen to make one with the dialog.
std::string SinAjustes(const std::string& directorio);
// The start ends: the reason on standard error. Always false.
bool Abandonar(const std::string& motivo);
// The start ends for a failure the operator must mend. Always false.
bool NoSeInicia(const std::string& motivo, const Bitacora::Sumidero& sumidero);
// A second start on a directory another station holds: the running one shows
// its window where there is a screen.
std::string OtraEstacion(const std::string& motivo, const std::string& directorio);
void PuertoNoAbre();

}  // namespace AvisosInicio
