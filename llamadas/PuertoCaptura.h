#pragma once

#include <cstdint>
#include <string>

// What the receive handler needs from the serial control Comm1.
class PuertoCaptura {
 public:
  static constexpr int16_t kEventoRecibido = 2;  // comEvReceive

  virtual ~PuertoCaptura() = default;
  // Code of the event that raised the receive handler.
  virtual int16_t CommEvent() const = 0;
  // Takes and removes every byte waiting up to the first gap (a loss, a
  // new connection), one char per byte.
  virtual std::string Input() = 0;
  // Position in the stream of received bytes (counted from the opening of
  // the journal) of the first byte the last Input returned. Bytes that do
  // not continue the ones before them do not begin where those ended.
  virtual uint64_t PosicionEntrada() const { return 0; }
  // Bytes wait to be taken: a receive notice is on its way.
  virtual bool EntradaPendiente() const { return false; }
  // While held, no receive notice is given; released, one is given when
  // bytes wait.
  virtual void RetenerAvisos(bool /*retener*/) {}
  // The open port's device is gone and being waited for.
  virtual bool LineaPerdida() const { return false; }
};
