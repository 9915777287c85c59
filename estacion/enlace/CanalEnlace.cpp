#include "estacion/enlace/CanalEnlace.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QLocalSocket>

namespace {

const QString kClaveVersion = QStringLiteral("v");

}  // namespace

CanalEnlace::CanalEnlace(QLocalSocket* socket, qsizetype limite, QObject* padre)
    : QObject(padre), socket_(socket), limite_(limite) {
  socket_->setParent(this);
  connect(socket_, &QLocalSocket::readyRead, this, &CanalEnlace::Leer);
  // A new connection on the same socket starts clean.
  connect(socket_, &QLocalSocket::connected, this, [this] {
    recibido_.clear();
    roto_ = false;
  });
}

void CanalEnlace::Enviar(const QJsonObject& mensaje) {
  QJsonObject conVersion = mensaje;
  conVersion.insert(kClaveVersion, kVersion);
  socket_->write(QJsonDocument(conVersion).toJson(QJsonDocument::Compact) + '\n');
}

void CanalEnlace::Leer() {
  if (roto_) return;
  recibido_ += socket_->readAll();
  qsizetype inicio = 0;
  for (qsizetype fin; !roto_ && (fin = recibido_.indexOf('\n', inicio)) >= 0; inicio = fin + 1) {
    if (fin - inicio > limite_) return Romper(QStringLiteral("mensaje demasiado largo"));
    QJsonParseError error{};
    const auto documento = QJsonDocument::fromJson(recibido_.mid(inicio, fin - inicio), &error);
    if (error.error != QJsonParseError::NoError || !documento.isObject()) {
      return Romper(QStringLiteral("mensaje ilegible"));
    }
    if (documento.object().value(kClaveVersion).toInt() != kVersion) {
      return Romper(QStringLiteral("versión del enlace distinta"));
    }
    emit Mensaje(documento.object());
  }
  if (roto_) return;
  recibido_.remove(0, inicio);
  if (recibido_.size() > limite_) Romper(QStringLiteral("mensaje demasiado largo"));
}

void CanalEnlace::Romper(const QString& motivo) {
  roto_ = true;
  recibido_.clear();
  emit Roto(motivo);
  socket_->abort();
}
