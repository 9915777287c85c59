#pragma once

#include <cstdio>
#include <optional>
#include <string>

// The output of a shell command, or nothing when it failed.
inline std::optional<std::string> SalidaOrden(const std::string& orden) {
  FILE* tubo = ::popen(orden.c_str(), "r");
  if (tubo == nullptr) return std::nullopt;
  std::string texto;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, tubo)) > 0;) texto.append(buf, n);
  if (::pclose(tubo) != 0) return std::nullopt;
  return texto;
}
