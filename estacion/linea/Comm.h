#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "captura/Resultado.h"
#include "estacion/linea/LectorPuerto.h"
#include "llamadas/PuertoCaptura.h"
#include "resguardo/DiarioRecepcion.h"

// The serial control Comm1 of the main window. Port n is COMn in the
// program's directory when that entry exists, else /dev/ttyS<n-1>. Received
// bytes are gathered on a thread of the layer's own; OnComm is emitted on the
// thread that owns the object, never while a previous emission runs, and
// again after it returns while bytes wait.
class Comm : public QObject, public PuertoCaptura {
  Q_OBJECT

 public:
  explicit Comm(QObject* padre = nullptr);
  ~Comm() override;

  // Where COMn links are looked for; the program's directory unless set.
  void DirectorioPrograma(std::filesystem::path directorio);
  static std::filesystem::path DirectorioEjecutable();
  static std::filesystem::path RutaDispositivo(int16_t puerto,
                                               const std::filesystem::path& directorio);

  int16_t CommPort() const { return puerto_; }
  captura::Estado CommPort(int16_t puerto);

  // A text that cannot be mapped is refused and the old one kept; a new text
  // takes effect at the next opening.
  const std::string& Settings() const { return ajustes_; }
  captura::Estado Settings(const std::string& texto);

  bool PortOpen() const { return lector_ != nullptr; }
  // True opens the port, false closes it (closing never fails).
  captura::Estado PortOpen(bool abierto);

  int16_t CommEvent() const override { return evento_; }
  std::string Input() override;
  uint64_t PosicionEntrada() const override { return posicionEntrada_; }
  // Stream position after the last byte received, taken or not.
  uint64_t PosicionFin() const;

  // Every byte received goes to the journal before it can be taken; stream
  // positions then go on from the journal's end. Set while the port is
  // closed; null for none. A write the journal fails is counted there and
  // the bytes are delivered all the same.
  captura::Estado Diario(DiarioRecepcion* diario);
  DiarioRecepcion* Diario() const { return diario_; }

  // Past this many bytes waiting the device is left unread until Input.
  void LimiteRecepcion(size_t bytes) { limite_ = bytes; }

 signals:
  void OnComm();

 private:
  captura::Estado Abrir();
  void EntregarAviso();
  void PedirAviso();

  std::filesystem::path directorio_;
  int16_t puerto_ = 1;
  std::string ajustes_ = "9600,n,8,1";
  int16_t evento_ = 0;
  size_t limite_ = LectorPuerto::kLimitePorDefecto;
  DiarioRecepcion* diario_ = nullptr;
  uint64_t posicionEntrada_ = 0;
  uint64_t fin_ = 0;  // where the stream stood when the port was last closed
  std::atomic<bool> avisoPendiente_ = false;
  bool entregando_ = false;  // OnComm is running
  std::unique_ptr<LectorPuerto> lector_;
};
