#pragma once

class QWidget;

// Places windows and controls designed in twips (1/1440 inch) at the
// screen's logical DPI.
class Twips {
 public:
  struct Rectangulo {
    int izquierda, arriba, ancho, alto;
  };

  static void Colocar(QWidget* control, Rectangulo twips);
  // A fixed client area.
  static void FijarTamano(QWidget* ventana, int ancho, int alto);
};
