#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "captura/Regional.h"

// Helpers of the station: where the settings live and the read of one setting.
namespace mdlMain {

inline constexpr std::string_view kNombreArchivoIni = "CAPTURA.INI";

// The value of one key of the settings file, trailing blanks dropped; the
// empty text when the file, section or key is missing. At most 254 characters.
std::string LeerIni(const std::string& archivo, std::string_view seccion, std::string_view clave);

// The text up to its first NUL; the whole text when it holds none.
std::string QuitarNulos(std::string_view texto);

// A text read as a number (blanks around it allowed, "." as the decimal
// point) and rounded to a 16-bit integer, halves to the even neighbour.
// Nothing when it is empty, not a number, or outside -32768 to 32767.
std::optional<int16_t> AEntero16(std::string_view texto);

// "DMA", "MDA" or "AMD" (any case, blanks around allowed) as a date order;
// nothing for any other text.
std::optional<captura::Regional::Orden> OrdenFechaDeTexto(std::string_view texto);
std::string TextoOrdenFecha(captura::Regional::Orden orden);

// The text without its leading and trailing blanks.
std::string QuitarBlancos(std::string_view texto);

// What the port box's text stores: the run of digits at the end of the text
// with its blanks removed ("COM 12" gives "12"); the empty text when it
// does not end in a digit.
std::string PuertoDeTexto(std::string_view texto);

// Directory of the running executable (the current directory if that cannot
// be resolved).
std::string DirectorioPrograma();

struct UbicacionIni {
  std::string ruta;
  bool existe = false;
};

// The settings file in `directorio`: any regular file whose name is
// CAPTURA.INI without regard to case counts; when there is none the path
// names CAPTURA.INI and `existe` is false.
UbicacionIni UbicarArchivoIni(const std::string& directorio);

// Opens the file for appending and closes it at once: creates it empty when
// missing, leaves an existing file's content alone. Never blocks (a FIFO or
// a device does not hold the window). False when it cannot be opened.
bool CrearArchivoVacio(const std::string& ruta);

// Twips (1/1440 inch) to pixels at `dpi` dots per inch.
int TwipsAPixeles(int twips, int dpi);

// Runs one step of a handler; a step that fails is abandoned silently so that
// the next one still runs.
void Intentar(const std::function<void()>& paso) noexcept;

}  // namespace mdlMain
