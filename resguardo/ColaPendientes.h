#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "captura/Descriptor.h"
#include "captura/Resultado.h"
#include "llamadas/AvanceRegistro.h"

// A call line kept because it could not be posted.
struct LineaPendiente {
  enum class Estado : uint8_t {
    Pendiente = 1,  // re-posted when the database answers again
    Aparcada = 2,   // failed for good: kept and shown, never retried
  };

  uint64_t Id = 0;    // order of arrival
  std::string Linea;  // the line's bytes as received
  Estado Situacion = Estado::Pendiente;
  uint32_t Intentos = 0;  // failed attempts
  // When it arrived, seconds since the epoch; a line kept by an earlier
  // version, which kept no arrival, counts as arrived when it was loaded.
  int64_t Recibida = 0;
  int64_t UltimoIntento = 0;
  std::optional<captura::Fallo> PrimerFallo;
  std::optional<captura::Fallo> UltimoFallo;
  // What its attempts learned and posted.
  AvanceRegistro Avance;
  // In a re-posting pass: a row is posted before the queue can say so, so
  // its steps not posted yet are written to the file as maybe posted (a kill
  // in the pass has them looked up at the next start), while here they stay
  // as they are and the pass posts them without a look-up.
  bool Reponiendo = false;

  // Parked with its call stored: the charge waits for the operator.
  bool CargoAConfirmar() const {
    return Situacion == Estado::Aparcada && Avance.Reserva_ == AvanceRegistro::Reserva::AConfirmar;
  }
};

// The kept lines, in a file of the program's directory. Every change is on
// disk (fsync) before the call that makes it returns, so a kill or a power
// cut loses none; the file is an append-only log of changes, read back at
// start, and rewritten whole when mostly made of dead changes.
class ColaPendientes {
 public:
  static constexpr char kArchivo[] = "pendientes.dat";

  // Loads the file in pieces, creating it when missing. A file that is
  // damaged, is no queue file or cannot be read is kept aside as it was and
  // the queue goes on in a new file with what could be read; Dano says what
  // and where. A file that cannot be written leaves the queue working in
  // memory; EstadoArchivo says why.
  explicit ColaPendientes(std::string ruta);
  ColaPendientes(const ColaPendientes&) = delete;
  ColaPendientes& operator=(const ColaPendientes&) = delete;

  // Keeps a new line; its Id is given by the queue.
  const LineaPendiente& Agregar(LineaPendiente linea);
  // Replaces the kept line with the same Id.
  void Actualizar(const LineaPendiente& linea);
  // Several lines in one write to the file.
  void Actualizar(std::span<const LineaPendiente> lineas);
  void Quitar(uint64_t id);

  // Oldest first.
  const std::map<uint64_t, LineaPendiente>& Lineas() const { return lineas_; }
  std::size_t Pendientes() const { return pendientes_; }
  std::size_t Aparcadas() const { return lineas_.size() - pendientes_; }

  // The last failure to keep the file (success once it was written again).
  const captura::Estado& EstadoArchivo() const { return estadoArchivo_; }
  // What was wrong with the file found at start, and where it was kept.
  const std::optional<captura::Fallo>& Dano() const { return dano_; }
  const std::string& Ruta() const { return ruta_; }

 private:
  // How a file found wrong at start is kept: copied while it can be read,
  // else moved.
  enum class Apartado { Copiar, Mover };

  void Cargar();
  void Danado(const std::string& que, Apartado como);
  captura::Estado GuardarAparte();
  bool Aplicar(std::string_view carga);
  void Registrar(const std::string& cambio);
  void Compactar();
  void Contar();
  captura::Estado Escribir(const std::string& datos);
  captura::Estado Reescribir();

  std::string ruta_;
  Descriptor fd_;
  std::map<uint64_t, LineaPendiente> lineas_;
  std::size_t pendientes_ = 0;
  std::size_t cambios_ = 0;  // changes in the file
  uint64_t siguiente_ = 1;
  captura::Estado estadoArchivo_;
  std::optional<captura::Fallo> dano_;
  // The file found wrong, to be kept aside before it is ever replaced.
  std::optional<Apartado> apartar_;
  std::string aparte_;
  int64_t cargada_ = 0;  // when the file was loaded
};
