#include "llamadas/EnmarcadorLineas.h"

#include "llamadas/RegistroLlamada.h"
#include "llamadas/Texto.h"

namespace {
constexpr char kRetorno = '\r';
constexpr std::size_t kLargo = RegistroLlamada::kLargoLinea;
}  // namespace

void EnmarcadorLineas::Enmarcar(std::string_view texto, const PorRetorno& porRetorno) {
  std::string trabajo;
  trabajo.reserve(pendiente_.size() + texto.size());
  trabajo.append(pendiente_).append(texto);
  const std::string_view w = trabajo;

  // A text without a whole line in it holds no call. A continuation is
  // never short: the carried line may begin with blanks.
  const bool corto = pendiente_.empty() && Recortar(w).size() < kLargo;
  const std::size_t arrastre = pendiente_.size();  // the carried text holds no carriage return
  std::size_t ultimo = std::string_view::npos;
  for (auto p = w.find(kRetorno); p != std::string_view::npos; p = w.find(kRetorno, p + 1)) {
    ultimo = p;
    const bool sinLinea = corto || p < kLargo;
    porRetorno(sinLinea ? std::string_view() : w.substr(p - kLargo, kLargo), p + 1 - arrastre);
  }
  // Only the last line's worth of the rest can ever become a line.
  const std::size_t resto = ultimo == std::string_view::npos ? 0 : ultimo + 1;
  pendiente_ = Derecha(w.substr(resto), kLargo);
}
