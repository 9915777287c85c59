#include "resguardo/LimiteAvisos.h"

#include <algorithm>
#include <utility>

LimiteAvisos::LimiteAvisos(Reloj reloj)
    : reloj_(reloj ? std::move(reloj) : Reloj(std::chrono::steady_clock::now)) {}

LimiteAvisos::Mensaje LimiteAvisos::ConCuenta(Mensaje mensaje, unsigned callados) {
  if (callados > 0)
    mensaje.Texto += " (y " + std::to_string(callados) + " más como este sin aviso)";
  return mensaje;
}

std::optional<LimiteAvisos::Mensaje> LimiteAvisos::Admitir(const std::string& tipo,
                                                           Mensaje mensaje) {
  const Instante ahora = reloj_();
  auto [it, nuevo] = tipos_.try_emplace(tipo);
  Tipo& t = it->second;
  if (!nuevo && ahora - t.Ultimo < kIntervalo) {
    ++t.Callados;
    t.Retenido = std::move(mensaje);
    t.Orden = ++retenciones_;
    return std::nullopt;
  }
  t.Ultimo = ahora;
  return ConCuenta(std::move(mensaje), std::exchange(t.Callados, 0));
}

std::vector<LimiteAvisos::Mensaje> LimiteAvisos::Vencidos() {
  const Instante ahora = reloj_();
  std::vector<Tipo*> vencidos;
  for (auto& [nombre, t] : tipos_) {
    if (t.Callados > 0 && ahora - t.Ultimo >= kIntervalo) vencidos.push_back(&t);
  }
  std::sort(vencidos.begin(), vencidos.end(),
            [](const Tipo* a, const Tipo* b) { return a->Orden < b->Orden; });
  std::vector<Mensaje> mensajes;
  for (Tipo* t : vencidos) {
    t->Ultimo = ahora;
    // The one told now is the last held back; the others are counted.
    mensajes.push_back(ConCuenta(std::move(t->Retenido), std::exchange(t->Callados, 0) - 1));
  }
  return mensajes;
}

std::optional<LimiteAvisos::Instante> LimiteAvisos::ProximoVencido() const {
  std::optional<Instante> proximo;
  for (const auto& [nombre, t] : tipos_) {
    if (t.Callados == 0) continue;
    const Instante vence = t.Ultimo + kIntervalo;
    if (!proximo || vence < *proximo) proximo = vence;
  }
  return proximo;
}
