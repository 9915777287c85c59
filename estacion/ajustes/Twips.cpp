#include "estacion/ajustes/Twips.h"

#include <QWidget>

#include "estacion/ajustes/mdlMain.h"

void Twips::Colocar(QWidget* control, Rectangulo t) {
  const int dpiX = control->logicalDpiX();
  const int dpiY = control->logicalDpiY();
  control->setGeometry(mdlMain::TwipsAPixeles(t.izquierda, dpiX),
                       mdlMain::TwipsAPixeles(t.arriba, dpiY),
                       mdlMain::TwipsAPixeles(t.ancho, dpiX), mdlMain::TwipsAPixeles(t.alto, dpiY));
}

void Twips::FijarTamano(QWidget* ventana, int ancho, int alto) {
  ventana->setFixedSize(mdlMain::TwipsAPixeles(ancho, ventana->logicalDpiX()),
                        mdlMain::TwipsAPixeles(alto, ventana->logicalDpiY()));
}
