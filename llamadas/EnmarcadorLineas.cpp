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

  // Only a whole line counts: 80 characters before the carriage return,
  // whatever blanks they begin with (an exchange may right-align a short
  // extension). A shorter fragment or a lone line end gives no line.
  const std::size_t arrastre = pendiente_.size();  // the carried text holds no carriage return
  std::size_t ultimo = std::string_view::npos;
  for (auto p = w.find(kRetorno); p != std::string_view::npos; p = w.find(kRetorno, p + 1)) {
    ultimo = p;
    porRetorno(p < kLargo ? std::string_view() : w.substr(p - kLargo, kLargo), p + 1 - arrastre);
  }
  // Only the last line's worth of the rest can ever become a line.
  const std::size_t resto = ultimo == std::string_view::npos ? 0 : ultimo + 1;
  pendiente_ = Derecha(w.substr(resto), kLargo);
}
