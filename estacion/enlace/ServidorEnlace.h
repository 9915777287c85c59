#pragma once

#include <QByteArray>
#include <QObject>

#include <chrono>
#include <string>
#include <vector>

#include "captura/Resultado.h"

class Bitacora;
class CanalEnlace;
class QLocalServer;
class QTimer;
class VistaEstacion;

// The service's side of the link with its windows: a socket file in the
// program directory (so the directory's and the file's permissions apply
// first), where the service's own user, root and the members of the
// operators' group may attach. Each window is sent the station as it shows
// it on connecting and after every change, and its commands for kept calls
// and saved settings are carried out as the window's own would be. A
// window that sends what the link does not know loses its connection; the
// station and the other windows go on.
class ServidorEnlace : public QObject {
  Q_OBJECT

 public:
  static constexpr char kArchivo[] = "sentrel.enlace";
  static constexpr char kGrupoOperadores[] = "sentrel";
  // A command is a few dozen bytes.
  static constexpr qsizetype kMaximoPedido = 64 * 1024;
  // What may wait unread by one window.
  static constexpr qint64 kMaximoSinLeer = 32 * 1024 * 1024;
  // Changes within this time go in one message.
  static constexpr std::chrono::milliseconds kAgrupar{100};

  // Refusals go to `registro`, limited as its other refusals are.
  ServidorEnlace(VistaEstacion& estacion, Bitacora& registro, QObject* padre = nullptr);
  ~ServidorEnlace() override;

  // Listens in the directory; a socket file left by an earlier run is
  // replaced (the caller holds the directory's lock).
  captura::Estado Escuchar(const std::string& directorio);
  std::size_t Ventanas() const { return canales_.size(); }

  // The path of the socket in a program directory.
  static std::string Ruta(const std::string& directorio);

 private:
  void Atender();
  bool Admitido(int descriptor, std::string& quien) const;
  void Cumplir(CanalEnlace* canal, const QJsonObject& mensaje);
  void Quitar(CanalEnlace* canal);
  void Enviar();

  VistaEstacion& estacion_;
  Bitacora& registro_;
  QLocalServer* servidor_;
  QTimer* envio_;
  std::vector<CanalEnlace*> canales_;
  QByteArray ultimo_;
};
