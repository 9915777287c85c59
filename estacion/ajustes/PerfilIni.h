#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "captura/Resultado.h"

// INI files read and written with the rules of the Windows profile functions,
// so that a file written by either reads back the same. Texts are bytes: the
// file is taken and left exactly as it is apart from the value written.
//
// Names match without regard to (ASCII) case; blanks around names and around
// "=" are ignored, as are a value's trailing blanks; a value enclosed in
// matching quotes loses them; lines starting with ";" are comments; the first
// matching section and key win; lines may end in CR LF or LF.
class PerfilIni {
 public:
  // Names compare without regard to ASCII case; other bytes compare exactly.
  static bool MismoNombre(std::string_view a, std::string_view b);

  // Copies the value of `clave` in `seccion` into `buffer`: at most
  // tamano - 1 bytes and a closing NUL. The default stands in for a missing
  // file, section or key. Returns the number of bytes copied.
  static std::size_t LeerValor(const std::string& ruta, std::string_view seccion,
                               std::string_view clave, std::string_view porDefecto, char* buffer,
                               std::size_t tamano);

  // Replaces the value in place, or adds the key at the end of its section,
  // or the section at the end of the file, or creates the file. Every other
  // line stays byte for byte. The file is replaced whole through a temporary
  // file beside it, so a write that fails leaves it untouched; the failure
  // says why. In a directory of another group than the user's own (the
  // service's, shared with its operators) the file keeps that group and is
  // writable by it.
  static captura::Estado EscribirValor(const std::string& ruta, std::string_view seccion,
                                       std::string_view clave, std::string_view valor);
};
