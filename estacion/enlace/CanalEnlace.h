#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

class QLocalSocket;

// One end of the link between the service and a window: whole messages,
// each one JSON object on a line of its own, carrying the protocol's
// version. A message that is no such object, of another version, or longer
// than the limit breaks the link: the connection is closed, nothing of it
// is handed on.
class CanalEnlace : public QObject {
  Q_OBJECT

 public:
  static constexpr int kVersion = 1;

  // Reads and writes through the socket, which becomes its child.
  CanalEnlace(QLocalSocket* socket, qsizetype limite, QObject* padre = nullptr);

  void Enviar(const QJsonObject& mensaje);
  QLocalSocket* Socket() const { return socket_; }
  // Closes the connection, saying why (Roto).
  void Romper(const QString& motivo);

 signals:
  void Mensaje(const QJsonObject& mensaje);
  // Told once, before the connection is closed.
  void Roto(const QString& motivo);

 private:
  void Leer();

  QLocalSocket* socket_;
  const qsizetype limite_;
  QByteArray recibido_;
  bool roto_ = false;
};
