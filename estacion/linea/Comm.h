#pragma once

#include <QObject>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "captura/Resultado.h"
#include "estacion/linea/ClienteTcp.h"
#include "estacion/linea/LectorPuerto.h"
#include "estacion/linea/ServidorTcp.h"
#include "llamadas/PuertoCaptura.h"
#include "resguardo/DiarioRecepcion.h"

// The serial control Comm1 of the main window. Port n is COMn in the
// program's directory when that entry exists, else /dev/ttyS<n-1>. Received
// bytes are gathered on a thread of the layer's own; OnComm is emitted on the
// thread that owns the object, never while a previous emission runs, and
// again after it returns while bytes wait. A device that goes away while the
// port is open is opened again by its name until it comes back; the port
// stays open meanwhile and OnLineaPerdida / OnLineaRecuperada tell of it.
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
  // Opens the device at ruta with the line settings text, as the port does.
  static captura::Resultado<Descriptor> AbrirDispositivo(const std::filesystem::path& ruta,
                                                         const std::string& ajustes);

  int16_t CommPort() const { return puerto_; }
  captura::Estado CommPort(int16_t puerto);

  // A text that cannot be mapped is refused and the old one kept; a new text
  // takes effect at the next opening.
  const std::string& Settings() const { return ajustes_; }
  captura::Estado Settings(const std::string& texto);

  bool PortOpen() const { return lector_ != nullptr; }
  // True opens the port, false closes it (closing never fails).
  captura::Estado PortOpen(bool abierto);
  // The exchange over the network instead of the serial line: the port
  // then connects to it, at once and again after each loss (1 s, doubling
  // to 60 s); set while closed, nothing for the serial line.
  captura::Estado Red(std::optional<ClienteTcp> cliente);
  const std::optional<ClienteTcp>& Red() const { return red_; }
  // The station listening for the exchange instead: the port takes one
  // connection at a time, the next one at once after each loss, and refuses the others
  // (OnAviso tells of them, OnConexion of each one taken). The listening
  // socket goes with the port's closing.
  captura::Estado Escuchar(std::unique_ptr<ServidorTcp> servidor);
  static constexpr std::chrono::milliseconds kReintentoRed{1000};
  static constexpr std::chrono::milliseconds kReintentoRedMaximo{60000};

  // True while the open port's device is gone and being waited for.
  bool LineaPerdida() const override { return perdida_; }

  int16_t CommEvent() const override { return evento_; }
  std::string Input() override;
  uint64_t PosicionEntrada() const override { return posicionEntrada_; }
  bool EntradaPendiente() const override;
  void RetenerAvisos(bool retener) override;
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
  void OnLineaPerdida(const captura::Fallo& motivo);
  void OnLineaRecuperada();
  void OnAviso(const std::string& texto);
  void OnConexion(const std::string& texto);

 private:
  captura::Estado Abrir();
  captura::Estado Leer(Descriptor dispositivo, LectorPuerto::Opciones opciones);
  void EntregarAviso();
  void PedirAviso();
  void CambioDeLinea(std::optional<captura::Fallo> perdida);

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
  bool retenidos_ = false;   // no notice given meanwhile
  bool perdida_ = false;
  uint64_t aperturas_ = 0;  // tells a notice from an earlier opening
  std::optional<ClienteTcp> red_;
  std::shared_ptr<ServidorTcp> servidor_;
  std::unique_ptr<LectorPuerto> lector_;
};
