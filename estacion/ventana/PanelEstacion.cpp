#include "estacion/ventana/PanelEstacion.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QResizeEvent>

#include <algorithm>

#include "estacion/ajustes/TextoEntero.h"
#include "estacion/ajustes/Twips.h"
#include "estacion/ajustes/mdlMain.h"
#include "estacion/linea/ControlPuerto.h"
#include "llamadas/ReceptorLlamadas.h"

using mdlMain::Intentar;

namespace {

constexpr int kAnchoArea = 5730;  // twips
constexpr int kAltoArea = 2955;
const QColor kAzulMarco(0x00, 0x00, 0x80);  // &H00800000
const QColor kGrisEstado(0xC0, 0xC0, 0xC0);
const QColor kRojoEstado(0x80, 0x00, 0x00);  // &H00000080

void PintarTexto(QWidget* control, const QColor& color) {
  QPalette paleta = control->palette();
  paleta.setColor(QPalette::WindowText, color);
  control->setPalette(paleta);
}

// The widest status text the label can show: with a two-digit port, or
// with the network source's name.
int AnchoEstados(const QLabel& etiqueta, const EstadoCaptura& estado) {
  EstadoCaptura ejemplo = estado;
  if (ejemplo.Origen.empty()) ejemplo.NumeroPuerto = 99;
  int ancho = 0;
  for (const char* sufijo : {ControlPuerto::kSufijoAbierto, ControlPuerto::kSufijoCerrado,
                             ControlPuerto::kSufijoNoAbierto, ReceptorLlamadas::kSufijoActivo,
                             ReceptorLlamadas::kSufijoEsperando, ReceptorLlamadas::kSufijoFinRafaga,
                             ReceptorLlamadas::kSufijoPerdida, ControlPuerto::kSufijoNoEscucha,
                             ReceptorLlamadas::kSufijoInactivo}) {
    const auto texto = QString::fromStdString(ReceptorLlamadas::TextoEstado(ejemplo, sufijo));
    ancho = std::max(ancho, TextoEntero::Ancho(etiqueta, texto));
  }
  return ancho;
}

}  // namespace

PanelEstacion::PanelEstacion(const EstadoCaptura& estado, QWidget* padre)
    : QWidget(padre), estado_(&estado) {
  // The designed client area is the least the window shows; a larger
  // window gives the text pane the room.
  setMinimumSize(mdlMain::TwipsAPixeles(kAnchoArea, logicalDpiX()),
                 mdlMain::TwipsAPixeles(kAltoArea, logicalDpiY()));
  frameInfo = new QGroupBox(QStringLiteral("&Información"), this);
  frameInfo->setObjectName(QStringLiteral("frameInfo"));
  Twips::Colocar(frameInfo, {90, 120, 5385, 1725});
  PintarTexto(frameInfo, kAzulMarco);
  txtLlegada = new QPlainTextEdit(frameInfo);
  txtLlegada->setObjectName(QStringLiteral("txtLlegada"));
  // What the exchange sent is shown, not edited; nor does a blinking cursor
  // wake the idle station twice a second.
  txtLlegada->setReadOnly(true);
  // Ctrl+C is the menu's Configuración, not a copy in the pane (the pane's
  // context menu still copies).
  txtLlegada->setFocusPolicy(Qt::NoFocus);
  Twips::Colocar(txtLlegada, {120, 240, 5145, 1365});
  // One call line is one screen line, its columns aligned.
  txtLlegada->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  txtLlegada->setLineWrapMode(QPlainTextEdit::NoWrap);

  Frame1 = new QGroupBox(QStringLiteral("&Estado"), this);
  Twips::Colocar(Frame1, {90, 1830, 5385, 645});
  PintarTexto(Frame1, kAzulMarco);
  lblInformacion = new QLabel(QStringLiteral("Estado"), Frame1);
  lblInformacion->setObjectName(QStringLiteral("lblInformacion"));
  Twips::Colocar(lblInformacion, {720, 270, 495, 195});
  lblInformacion->setAutoFillBackground(true);
  QPalette paleta = lblInformacion->palette();
  paleta.setColor(QPalette::Window, kGrisEstado);
  paleta.setColor(QPalette::WindowText, kRojoEstado);
  lblInformacion->setPalette(paleta);
  // Calls kept because the database failed: a line of their own, apart
  // from the status line.
  lblPendientes = new QLabel(this);
  lblPendientes->setObjectName(QStringLiteral("lblPendientes"));
  lblPendientes->setToolTip(
      QStringLiteral("Llamadas que la base de datos no tomó aún. Se ven, y las apartadas se "
                     "reintentan, en el menú Ver > Llamadas pendientes y apartadas (Ctrl+L)."));
  Twips::Colocar(lblPendientes, {90, 2520, 5385, 315});
  // A long line wraps, and the label grows downwards, the window with it.
  lblPendientes->setWordWrap(true);
  lblPendientes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Ensanchar();
}

void PanelEstacion::MostrarEstado(const std::string& texto) {
  const QString nuevo = QString::fromStdString(texto);
  // Each tick of a burst repeats the text: nothing to lay out or paint again.
  if (lblInformacion->text() == nuevo) return;
  Intentar([&] {
    lblInformacion->setText(nuevo);
    lblInformacion->adjustSize();  // the line is wider than its designed box
    // A name longer than foreseen (the exchange on the network) widens the frame.
    if (lblInformacion->geometry().right() > Frame1->contentsRect().right()) Ensanchar();
  });
  Intentar([&] { lblInformacion->repaint(); });
}

void PanelEstacion::MostrarLlegada(const std::string& texto) {
  txtLlegada->setPlainText(QString::fromLatin1(texto.data(), static_cast<qsizetype>(texto.size())));
}

void PanelEstacion::MostrarOrigen() {
  frameInfo->setTitle(
      estado_->Origen.empty()
          ? QStringLiteral("Información COM ") + QString::number(estado_->NumeroPuerto)
          : QStringLiteral("Información ") + QString::fromStdString(estado_->Origen));
  Ensanchar();
}

QString PanelEstacion::TextoAvisos() const { return lblPendientes->text(); }

void PanelEstacion::MostrarAviso(const QString& texto, bool alarma) {
  PintarTexto(lblPendientes, alarma ? kRojoEstado : palette().color(QPalette::WindowText));
  lblPendientes->setText(texto);
  Acomodar();
}

void PanelEstacion::resizeEvent(QResizeEvent* evento) {
  QWidget::resizeEvent(evento);
  Acomodar();
}

// Where a frame's caption or the status line's longest text does not fit
// the designed frames, the frames and the window are wider.
void PanelEstacion::Ensanchar() {
  const int dpi = logicalDpiX();
  const int marco = mdlMain::TwipsAPixeles(5385, dpi);
  const int estado = lblInformacion->x() + AnchoEstados(*lblInformacion, *estado_) +
                     mdlMain::TwipsAPixeles(120, dpi);
  const int falta =
      std::max({estado, TextoEntero::Ancho(*frameInfo), TextoEntero::Ancho(*Frame1)}) - marco;
  setMinimumWidth(mdlMain::TwipsAPixeles(kAnchoArea, dpi) + std::max(0, falta));
}

// The designed places, the frames and the pane widened and the lines below
// them moved by what the window has beyond its least size; the status
// line's frame taller where its font needs it, the line below the status
// taller where its text wraps.
void PanelEstacion::Acomodar() {
  // Beyond the designed size: the least size may be wider, for the status line.
  const int ancho = std::max(0, width() - mdlMain::TwipsAPixeles(kAnchoArea, logicalDpiX()));
  Twips::Colocar(Frame1, {90, 1830, 5385, 645});
  const int masEstado = std::max(0, lblInformacion->y() + lblInformacion->sizeHint().height() - 1 -
                                        Frame1->contentsRect().bottom());
  const int masAvisos = std::max(
      0, lblPendientes->heightForWidth(mdlMain::TwipsAPixeles(5385, logicalDpiX()) + ancho) -
             mdlMain::TwipsAPixeles(315, logicalDpiY()));
  const int altoMinimo = mdlMain::TwipsAPixeles(kAltoArea, logicalDpiY()) + masEstado + masAvisos;
  setMinimumHeight(altoMinimo);
  const int alto = std::max(0, height() - altoMinimo);
  auto colocar = [](QWidget* control, Twips::Rectangulo lugar, int masAncho, int masAlto,
                    int abajo) {
    Twips::Colocar(control, lugar);
    control->setGeometry(control->geometry().adjusted(0, abajo, masAncho, abajo + masAlto));
  };
  colocar(frameInfo, {90, 120, 5385, 1725}, ancho, alto, 0);
  colocar(txtLlegada, {120, 240, 5145, 1365}, ancho, alto, 0);
  // Below the frame's caption, whatever its font: the frame's border shows.
  const int arriba = frameInfo->contentsRect().top() - txtLlegada->y();
  if (arriba > 0) txtLlegada->setGeometry(txtLlegada->geometry().adjusted(0, arriba, 0, 0));
  colocar(Frame1, {90, 1830, 5385, 645}, ancho, masEstado, alto);
  colocar(lblPendientes, {90, 2520, 5385, 315}, ancho, masAvisos, alto + masEstado);
}
