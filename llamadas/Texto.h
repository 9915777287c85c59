#pragma once

#include <string>
#include <string_view>

// Text helpers of the capture: received text holds one character per byte
// (ISO-8859-1) and positions count bytes.

// Without leading and trailing blanks (spaces only, as the exchange pads).
std::string_view Recortar(std::string_view texto);

// At most n characters from the 0-based position; empty past the end.
std::string_view Tramo(std::string_view texto, std::size_t desde, std::size_t n);

// The last n characters (all of them when shorter).
std::string_view Derecha(std::string_view texto, std::size_t n);

// Every byte below 32 (NUL and the other control characters) as a blank.
std::string SinControles(std::string_view texto);
bool TieneControles(std::string_view texto);

// ISO-8859-1 to UTF-8, for text that leaves the program.
std::string Utf8DesdeLatin1(std::string_view texto);
