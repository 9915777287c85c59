#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// At most one message of a kind a minute, so a peer or a flapping line that
// repeats an event cannot flood the log. Those that come sooner are held back
// and counted, and the count goes with the next one told. The last one held
// back is due by itself once its minute is over: the log never ends on a
// state that has changed since.
class LimiteAvisos {
 public:
  using Instante = std::chrono::steady_clock::time_point;
  using Reloj = std::function<Instante()>;
  static constexpr std::chrono::seconds kIntervalo{60};

  struct Mensaje {
    int Prioridad = 0;
    std::string Texto;
  };

  explicit LimiteAvisos(Reloj reloj = {});

  // The message to tell now, with the count held back before it added; or
  // nothing when it is held back.
  std::optional<Mensaje> Admitir(const std::string& tipo, Mensaje mensaje);
  // The last one held back of each kind whose minute is over, to tell now,
  // in the order they were held back (the last state told last).
  std::vector<Mensaje> Vencidos();
  // When the next one held back falls due; nothing when none is held.
  std::optional<Instante> ProximoVencido() const;

 private:
  struct Tipo {
    Instante Ultimo{};  // when one of the kind was last told
    unsigned Callados = 0;
    Mensaje Retenido;    // the latest held back
    uint64_t Orden = 0;  // when, among all the holds
  };
  static Mensaje ConCuenta(Mensaje mensaje, unsigned callados);

  Reloj reloj_;
  std::map<std::string, Tipo, std::less<>> tipos_;
  uint64_t retenciones_ = 0;
};
