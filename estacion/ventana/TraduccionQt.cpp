#include "estacion/ventana/TraduccionQt.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool TraduccionQt::Cargar(QCoreApplication& aplicacion) {
  auto* traductor = new QTranslator(&aplicacion);
  // Spanish whatever the machine's language: the station speaks nothing else.
  if (!traductor->load(QStringLiteral("qtbase_es"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete traductor;
    return false;
  }
  return QCoreApplication::installTranslator(traductor);
}
