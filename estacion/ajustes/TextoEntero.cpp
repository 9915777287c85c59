#include "estacion/ajustes/TextoEntero.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

namespace {

// The button's frame, what stands around its text.
int BordeBoton(const QPushButton& boton, QSize& contenido) {
  QStyleOptionButton opcion;
  opcion.initFrom(&boton);
  opcion.text = boton.text();
  contenido = boton.style()->subElementRect(QStyle::SE_PushButtonContents, &opcion, &boton).size();
  return boton.style()->pixelMetric(QStyle::PM_ButtonMargin, &opcion, &boton);
}

}  // namespace

int TextoEntero::Ancho(const QLabel& etiqueta, const QString& texto) {
  return etiqueta.fontMetrics().horizontalAdvance(texto) +
         2 * (etiqueta.margin() + etiqueta.frameWidth()) + std::max(0, etiqueta.indent());
}

int TextoEntero::Ancho(const QPushButton& boton) {
  QSize contenido;
  // The style's margin on either side of the text, too.
  const int margen = BordeBoton(boton, contenido);
  return boton.fontMetrics().size(Qt::TextShowMnemonic, boton.text()).width() + 2 * margen +
         boton.width() - contenido.width();
}

int TextoEntero::Ancho(const QGroupBox& marco) { return marco.minimumSizeHint().width(); }

int TextoEntero::FaltaAncho(const QLabel& etiqueta) {
  return Recorte(Ancho(etiqueta, etiqueta.text()), etiqueta.width());
}

int TextoEntero::FaltaAlto(const QWidget& control) {
  if (const auto* boton = qobject_cast<const QPushButton*>(&control)) {
    QSize contenido;
    BordeBoton(*boton, contenido);
    return Recorte(boton->fontMetrics().height() + boton->height() - contenido.height(),
                   boton->height());
  }
  if (qobject_cast<const QLabel*>(&control)) {
    return Recorte(control.sizeHint().height(), control.height());
  }
  // A text box or a list: one line inside the frame, a pixel clear of it.
  const int marco = control.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &control);
  return Recorte(control.fontMetrics().height() + 2 * (marco + 1), control.height());
}
