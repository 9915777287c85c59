#pragma once

#include <QString>

class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;

// What a control needs, in pixels and in its own font, to show its text
// whole on one line, and what it lacks for it (0 when it fits). Windows and
// dialogs grow their controls by it.
class TextoEntero {
 public:
  static int Ancho(const QLabel& etiqueta, const QString& texto);
  static int Ancho(const QPushButton& boton);
  // With the frame's caption.
  static int Ancho(const QGroupBox& marco);

  template <typename Control>
  static int FaltaAncho(const Control& control) {
    return Recorte(Ancho(control), control.width());
  }
  static int FaltaAncho(const QLabel& etiqueta);
  // A label, a text box, a list or a button.
  static int FaltaAlto(const QWidget& control);

 private:
  static int Recorte(int necesario, int tiene) { return necesario > tiene ? necesario - tiene : 0; }
};
