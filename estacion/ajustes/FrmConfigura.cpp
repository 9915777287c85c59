#include "estacion/ajustes/FrmConfigura.h"

#include "estacion/ajustes/Twips.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>
#include <utility>
#include <vector>

#include "estacion/ajustes/PerfilIni.h"
#include "estacion/ajustes/TextoEntero.h"
#include "estacion/ajustes/mdlMain.h"

namespace {

using Lugar = Twips::Rectangulo;

const QStringList kPuertos = {"COM 1", "COM 2", "COM 3", "COM 4"};
const QStringList kVelocidades = {"110",   "300",   "1200",   "2400",   "4800",   "9600",  "19200",
                                  "38400", "57600", "115200", "230400", "460800", "921600"};
const QStringList kBitsDatos = {"4", "5", "6", "7", "8"};
const QStringList kParidades = {"Even", "Odd", "None", "Mark", "Space"};
const QStringList kBitsParada = {"1", "1.5", "2"};
// Empty: the machine's regional order.
const QStringList kOrdenesFecha = {"", "DMA", "MDA", "AMD"};
const QStringList kOrigenes = {"Serie", "Red"};
const QStringList kModos = {"Cliente", "Servidor"};
// Qt's own default size, the desktop's usual one.
constexpr double kPuntosUsuales = 9;

void Llenar(QComboBox* lista, const QStringList& entradas) {
  lista->clear();
  lista->addItems(entradas);
}

}  // namespace

FrmConfigura::FrmConfigura(std::string archivo, QWidget* parent)
    : QDialog(parent), archivo_(std::move(archivo)) {
  setWindowTitle(QStringLiteral("Configuraciones"));
  setModal(true);
  CrearControles();
  connect(cmdOK, &QPushButton::clicked, this, &FrmConfigura::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &FrmConfigura::cmdCancel_Click);
}

void FrmConfigura::CrearControles() {
  // The desktop's font where it is larger than the usual one; otherwise the
  // designed 8 points, at which the designed sizes hold.
  if (QFont letra = font(); letra.pointSizeF() <= kPuntosUsuales) {
    letra.setPointSize(8);
    setFont(letra);
  }
  std::vector<std::pair<int, QWidget*>> ordenTab;
  auto etiqueta = [&](const char* nombre, const char* texto, Lugar l) {
    auto* e = new QLabel(QString::fromUtf8(texto), this);
    e->setObjectName(QString::fromLatin1(nombre));
    QPalette colores = e->palette();
    colores.setColor(QPalette::WindowText, QColor(0, 0, 255));
    e->setPalette(colores);
    Twips::Colocar(e, l);
    // The caption is never cut: a wider font widens the label to the right.
    e->resize(e->width() + TextoEntero::FaltaAncho(*e), e->height());
    return e;
  };
  auto enfocable = [&](auto* control, const char* nombre, Lugar l, int indiceTab) {
    control->setObjectName(QString::fromLatin1(nombre));
    Twips::Colocar(control, l);
    ordenTab.emplace_back(indiceTab, control);
    return control;
  };
  auto lista = [&](const char* nombre, Lugar l, int indiceTab) {
    auto* c = enfocable(new QComboBox(this), nombre, l, indiceTab);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);  // typed text never joins the list
    // What is typed is what is saved: no completion from the entries.
    c->setCompleter(nullptr);
    return c;
  };
  auto caja = [&](const char* nombre, Lugar l, int indiceTab) {
    return enfocable(new QLineEdit(this), nombre, l, indiceTab);
  };
  auto boton = [&](const char* nombre, const char* texto, Lugar l, int indiceTab) {
    auto* b = enfocable(new QPushButton(QString::fromUtf8(texto), this), nombre, l, indiceTab);
    b->setAutoDefault(true);
    return b;
  };

  Label1 = etiqueta("Label1", "Puerto", {180, 150, 465, 195});
  Combo1 = lista("Combo1", {1680, 120, 2445, 315}, 0);
  Label3 = etiqueta("Label3", "Bits por segundo", {180, 510, 1185, 195});
  Combo2 = lista("Combo2", {1680, 510, 2445, 315}, 1);
  Label4 = etiqueta("Label4", "Bits de datos", {180, 900, 915, 195});
  Combo3 = lista("Combo3", {1680, 900, 2445, 315}, 2);
  Label5 = etiqueta("Label5", "Paridad", {180, 1320, 540, 195});
  Combo4 = lista("Combo4", {1680, 1290, 2445, 315}, 3);
  Label6 = etiqueta("Label6", "Bits de parada", {180, 1710, 1020, 195});
  Combo5 = lista("Combo5", {1680, 1680, 2445, 315}, 4);
  Label2 = etiqueta("Label2", "Ruta de Archivo a generar:", {180, 2100, 1920, 195});
  txtRutaFile = caja("txtRutaFile", {180, 2340, 5205, 315}, 5);
  Label7 = etiqueta("Label7", "Tiempo Conexión:", {150, 2760, 1275, 195});
  txtTimeConexion = caja("txtTimeConexion", {1650, 2700, 675, 315}, 14);
  Label15 = etiqueta("Label15", "Minutos de cargo:", {2880, 2760, 1335, 195});
  txtMinutosCargo = caja("txtMinutosCargo", {4440, 2700, 945, 315}, 15);
  txtMinutosCargo->setToolTip(QStringLiteral(
      "Minutos tras la llegada de una llamada en que su cargo va solo a la reserva de la "
      "habitación; después el cargo espera que se confirme (Ctrl+L). Vacío: 30; 0: sin límite"));
  // One more row below the designed ones, for the exchange's own settings.
  Label8 = etiqueta("Label8", "Orden de fechas:", {150, 3150, 1275, 195});
  cmbOrdenFecha = lista("cmbOrdenFecha", {1650, 3090, 1005, 315}, 16);
  cmbOrdenFecha->setToolTip(QStringLiteral(
      "Orden en que la central escribe las fechas: DMA día/mes/año, MDA mes/día/año, "
      "AMD año/mes/día; vacío: el de la configuración regional"));
  Label9 = etiqueta("Label9", "Minutos sin datos:", {2880, 3150, 1335, 195});
  txtMinutosSinDatos = caja("txtMinutosSinDatos", {4440, 3090, 945, 315}, 17);
  txtMinutosSinDatos->setToolTip(QStringLiteral(
      "Minutos sin ningún dato de la central que se avisan como falla; vacío o 0: sin aviso"));
  // The exchange on the network (section Central).
  Label10 = etiqueta("Label10", "Central por", {180, 3660, 840, 195});
  cboOrigen = lista("cboOrigen", {1680, 3630, 2445, 315}, 18);
  Label11 = etiqueta("Label11", "Modo de red", {180, 4050, 915, 195});
  cboModo = lista("cboModo", {1680, 4020, 2445, 315}, 19);
  Label12 = etiqueta("Label12", "Dirección", {180, 4440, 690, 195});
  txtDireccion = caja("txtDireccion", {1680, 4410, 2445, 315}, 20);
  Label13 = etiqueta("Label13", "Puerto TCP", {180, 4830, 810, 195});
  txtPuertoTcp = caja("txtPuertoTcp", {1680, 4800, 2445, 315}, 21);
  Label14 = etiqueta("Label14", "Solo desde", {180, 5220, 780, 195});
  txtPermitida = caja("txtPermitida", {1680, 5190, 2445, 315}, 22);
  cmdOK = boton("cmdOK", "&Grabar", {4440, 120, 1005, 345}, 6);
  cmdCancel = boton("cmdCancel", "&Cancelar", {4440, 540, 1005, 375}, 7);
  cmdOK->setDefault(true);

  std::sort(ordenTab.begin(), ordenTab.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < ordenTab.size(); ++i) {
    setTabOrder(ordenTab[i - 1].second, ordenTab[i].second);
  }
  Twips::FijarTamano(this, 5595, 5700);
  ApartarCajas({{Label1, Combo1},
                {Label3, Combo2},
                {Label4, Combo3},
                {Label5, Combo4},
                {Label6, Combo5},
                {Label7, txtTimeConexion},
                {Label15, txtMinutosCargo},
                {Label8, cmbOrdenFecha},
                {Label9, txtMinutosSinDatos},
                {Label10, cboOrigen},
                {Label11, cboModo},
                {Label12, txtDireccion},
                {Label13, txtPuertoTcp},
                {Label14, txtPermitida}});
  AlargarFilas();
}

// A control lower than its text needs grows downwards, and what stands
// below it moves down as much: the dialog grows taller, nothing is cut.
void FrmConfigura::AlargarFilas() {
  auto controles = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  std::sort(controles.begin(), controles.end(),
            [](const QWidget* a, const QWidget* b) { return a->y() < b->y(); });
  // Each control's designed place and how far its bottom went down.
  std::vector<std::pair<QRect, int>> hechos;
  int alargue = 0;
  for (QWidget* control : controles) {
    control->ensurePolished();
    const QRect antes = control->geometry();
    int baja = 0;
    for (const auto& [lugar, bajo] : hechos) {
      if (lugar.bottom() < antes.top()) baja = std::max(baja, bajo);
    }
    const int falta = TextoEntero::FaltaAlto(*control);
    control->setGeometry(antes.translated(0, baja).adjusted(0, 0, 0, falta));
    hechos.emplace_back(antes, baja + falta);
    alargue = std::max(alargue, baja + falta);
  }
  setFixedSize(width(), height() + alargue);
}

// A caption wider than its designed place pushes its box, and all that
// stands to the right of it, further right, a few pixels apart: the dialog
// widens and nothing overlaps or is cut.
void FrmConfigura::ApartarCajas(const std::vector<std::pair<QLabel*, QWidget*>>& pares) {
  const int separacion = mdlMain::TwipsAPixeles(75, logicalDpiX());
  int ensanche = 0;
  for (const auto& [etiqueta, caja] : pares) {
    const int falta = etiqueta->geometry().right() + 1 + separacion - caja->x();
    if (falta <= 0) continue;
    const int desde = caja->x();
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (control->x() >= desde) control->move(control->x() + falta, control->y());
    }
    ensanche += falta;
  }
  // The buttons, one column at the right edge, as wide as the longer text needs.
  const int boton = std::max(TextoEntero::FaltaAncho(*cmdOK), TextoEntero::FaltaAncho(*cmdCancel));
  for (QPushButton* b : {cmdOK, cmdCancel}) b->resize(b->width() + boton, b->height());
  ensanche += boton;
  txtRutaFile->resize(txtRutaFile->width() + ensanche, txtRutaFile->height());
  setFixedSize(width() + ensanche, height());
}

void FrmConfigura::showEvent(QShowEvent* evento) {
  QDialog::showEvent(evento);
  if (!evento->spontaneous()) Form_Load();
}

void FrmConfigura::done(int resultado) {
  // The close asked for by Grabar while a close is under way adds nothing.
  if (cerrando_) return;
  cerrando_ = true;
  const bool yaFallo = fallo_.has_value();
  const bool guardado = Form_QueryUnload();
  cerrando_ = false;
  if (!guardado) {
    AvisarNoGuardado();
    // The operator, told once, may still leave without saving.
    if (resultado == Accepted || !yaFallo) return;
  }
  QDialog::done(resultado);
}

void FrmConfigura::AvisarNoGuardado() {
  mdlMain::Intentar([this] { Bitacora(sumidero_).AjustesNoGuardados(*fallo_); });
  auto* aviso = new QMessageBox(
      QMessageBox::Critical, windowTitle(),
      QStringLiteral("No se pudo grabar la configuración: %1.\nLos valores siguen en el diálogo: "
                     "corrija la causa y pulse Grabar, o Cancelar para salir sin grabar.")
          .arg(QString::fromStdString(fallo_->Descripcion)),
      QMessageBox::Ok, this);
  aviso->setObjectName(QStringLiteral("avisoNoGuardado"));
  aviso->setAttribute(Qt::WA_DeleteOnClose);
  aviso->open();
}

// The close saves what the dialog holds (done), once.
void FrmConfigura::cmdOK_Click() {
  if (!ServidorSinPermitida()) {
    accept();
    return;
  }
  // Anyone on the network could post charges: not saved, and the dialog stays.
  auto* aviso = new QMessageBox(
      QMessageBox::Warning, windowTitle(),
      QStringLiteral("Para escuchar a la central (modo de red Servidor) escriba en \"Solo desde\" "
                     "su dirección: varias separadas por comas, o * para cualquiera (solo en una "
                     "red aislada). Sin ella la central en la red no se graba."),
      QMessageBox::Ok, this);
  aviso->setAttribute(Qt::WA_DeleteOnClose);
  aviso->open();
  txtPermitida->setFocus();
}

void FrmConfigura::cmdCancel_Click() { reject(); }

void FrmConfigura::Form_Load() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  mdlMain::Intentar([this] { CargarConfiguracion(); });
  QApplication::restoreOverrideCursor();
}

void FrmConfigura::CargarConfiguracion() {
  const auto a = AjustesCaptura::Leer(archivo_);
  leidos_.clear();
  Llenar(Combo1, kPuertos);
  PonerTexto(Combo1, a.Puerto.empty() ? std::string() : "COM " + a.Puerto);
  Llenar(Combo2, kVelocidades);
  PonerTexto(Combo2, a.Velocidad);
  Llenar(Combo3, kBitsDatos);
  PonerTexto(Combo3, a.BitsDatos);
  Llenar(Combo4, kParidades);
  PonerTexto(Combo4, a.Paridad);
  Llenar(Combo5, kBitsParada);
  PonerTexto(Combo5, a.BitsParada);
  PonerTexto(txtRutaFile, a.RutaFile);
  PonerTexto(txtTimeConexion, a.TiempoConexion);
  PonerTexto(txtMinutosCargo, a.MinutosCargo);
  Llenar(cmbOrdenFecha, kOrdenesFecha);
  PonerTexto(cmbOrdenFecha, a.OrdenFecha);
  PonerTexto(txtMinutosSinDatos, a.MinutosSinDatos);
  Llenar(cboOrigen, kOrigenes);
  Llenar(cboModo, kModos);
  PonerTexto(cboOrigen, a.Origen);
  PonerTexto(cboModo, a.Modo);
  PonerTexto(txtDireccion, a.Direccion);
  PonerTexto(txtPuertoTcp, a.PuertoTcp);
  PonerTexto(txtPermitida, a.Permitida);
  centralLeida_ = !(a.Origen + a.Modo + a.Direccion + a.PuertoTcp + a.Permitida).empty();
}

bool FrmConfigura::Form_QueryUnload() {
  // Whatever closes the dialog, what it holds is saved.
  fallo_.reset();
  mdlMain::Intentar([this] { GuardarConfiguracion(); });
  return !fallo_;
}

// After a failed write the rest would fail alike: the first failure is the one told.
void FrmConfigura::Escribir(std::string AjustesCaptura::*valor, const std::string& texto) {
  if (fallo_) return;
  const auto& clave = AjustesCaptura::ClaveDe(valor);
  if (auto escrito = PerfilIni::EscribirValor(archivo_, clave.Seccion, clave.Nombre, texto);
      !escrito) {
    fallo_ = escrito.Falla();
  }
}

void FrmConfigura::GuardarConfiguracion() {
  using A = AjustesCaptura;
  using mdlMain::QuitarBlancos;
  Escribir(&A::Puerto, mdlMain::PuertoDeTexto(TextoDe(Combo1)));
  Escribir(&A::Velocidad, QuitarBlancos(TextoDe(Combo2)));
  Escribir(&A::BitsDatos, QuitarBlancos(TextoDe(Combo3)));
  Escribir(&A::Paridad, QuitarBlancos(TextoDe(Combo4)));
  Escribir(&A::BitsParada, QuitarBlancos(TextoDe(Combo5)));
  const auto ruta = TextoDe(txtRutaFile);
  Escribir(&A::RutaFile, ruta);
  mdlMain::CrearArchivoVacio(ruta);  // a path that cannot be opened is still saved
  Escribir(&A::TiempoConexion, TextoDe(txtTimeConexion));
  GuardarOpcional(&A::MinutosCargo, txtMinutosCargo);
  GuardarOpcional(&A::OrdenFecha, cmbOrdenFecha);
  GuardarOpcional(&A::MinutosSinDatos, txtMinutosSinDatos);
  GuardarCentral();
}

// A file without the key keeps without it while the box is left empty: the
// serial line's settings alone never add a section Central.
template <typename Control>
void FrmConfigura::GuardarOpcional(std::string AjustesCaptura::*valor, const Control* control) {
  const auto texto = mdlMain::QuitarBlancos(TextoDe(control));
  const auto leido = leidos_.find(control);
  if (texto.empty() && (leido == leidos_.end() || leido->second.empty())) return;
  Escribir(valor, texto);
}

bool FrmConfigura::ServidorSinPermitida() const {
  using mdlMain::QuitarBlancos;
  std::string permitida = TextoDe(txtPermitida);
  std::erase_if(permitida, [](char c) { return c == ',' || c == ' ' || c == '\t'; });
  return PerfilIni::MismoNombre(QuitarBlancos(TextoDe(cboOrigen)), "Red") &&
         PerfilIni::MismoNombre(QuitarBlancos(TextoDe(cboModo)), "Servidor") && permitida.empty();
}

// A file without the section keeps without it while the serial line is chosen;
// a listening exchange with no address let in keeps the file's settings.
void FrmConfigura::GuardarCentral() {
  using mdlMain::QuitarBlancos;
  const auto origen = QuitarBlancos(TextoDe(cboOrigen));
  if (!centralLeida_ && !PerfilIni::MismoNombre(origen, "Red")) return;
  if (ServidorSinPermitida()) return;
  using A = AjustesCaptura;
  Escribir(&A::Origen, origen);
  Escribir(&A::Modo, QuitarBlancos(TextoDe(cboModo)));
  Escribir(&A::Direccion, QuitarBlancos(TextoDe(txtDireccion)));
  Escribir(&A::PuertoTcp, QuitarBlancos(TextoDe(txtPuertoTcp)));
  Escribir(&A::Permitida, QuitarBlancos(TextoDe(txtPermitida)));
}

void FrmConfigura::PonerTexto(QComboBox* control, const std::string& valor) {
  leidos_[control] = valor;
  control->setEditText(QString::fromStdString(valor));
}

void FrmConfigura::PonerTexto(QLineEdit* control, const std::string& valor) {
  leidos_[control] = valor;
  control->setText(QString::fromStdString(valor));
}

std::string FrmConfigura::TextoDe(const QComboBox* control) const {
  return Bytes(control, control->currentText());
}

std::string FrmConfigura::TextoDe(const QLineEdit* control) const {
  return Bytes(control, control->text());
}

std::string FrmConfigura::Bytes(const QWidget* control, const QString& texto) const {
  const auto leido = leidos_.find(control);
  if (leido != leidos_.end() && QString::fromStdString(leido->second) == texto) {
    return leido->second;
  }
  return texto.toStdString();
}
