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
  // extension). A shorter fragment or a lone line end gives no line. The
  // carried text's own carriage returns were dealt with before.
  const std::size_t arrastre = pendiente_.size();
  for (auto p = w.find(kRetorno, arrastre); p != std::string_view::npos;
       p = w.find(kRetorno, p + 1)) {
    porRetorno(p < kLargo ? std::string_view() : w.substr(p - kLargo, kLargo), p + 1 - arrastre);
  }
  pendiente_ = Derecha(w, kLargo);
}

std::string EnmarcadorLineas::Cortar() {
  std::string empezada(Empezada());
  pendiente_.clear();
  return empezada;
}

std::string_view EnmarcadorLineas::Empezada() const {
  const std::string_view p = pendiente_;
  const auto ultimo = p.rfind(kRetorno);
  return ultimo == std::string_view::npos ? p : p.substr(ultimo + 1);
}
