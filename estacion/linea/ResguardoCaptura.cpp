#include "estacion/linea/ResguardoCaptura.h"

#include <filesystem>

#include "estacion/linea/Comm.h"

ResguardoCaptura::ResguardoCaptura(const std::string& directorio, Comm& comm,
                                   ReceptorLlamadas& receptor,
                                   ReceptorLlamadas::CrearTelefono crearTelefono,
                                   Bitacora::Sumidero sumidero)
    : directorio_(directorio),
      comm_(comm),
      receptor_(receptor),
      bitacora_(std::move(sumidero)),
      cola_(directorio + "/" + ColaPendientes::kArchivo),
      gestor_(receptor, cola_, bitacora_, std::move(crearTelefono)) {}

// The receiver outlives this: it keeps no handler into what goes with it.
// The port's reader stops writing into the journal before the journal goes.
ResguardoCaptura::~ResguardoCaptura() {
  receptor_.ManejarLineas(nullptr);
  receptor_.AsegurarCon(nullptr);
  receptor_.AlCompletarLinea(nullptr);
  receptor_.AlQuitarControles(nullptr);
  receptor_.AlCortarLinea(nullptr);
  if (!diario_) return;
  if (comm_.PortOpen()) static_cast<void>(comm_.PortOpen(false));
  static_cast<void>(comm_.Diario(nullptr));
}

void ResguardoCaptura::Iniciar() {
  receptor_.AlQuitarControles(
      [this](std::string_view linea) { bitacora_.LineaConControles(linea); });
  receptor_.AlCortarLinea([this](std::string_view linea) { bitacora_.LineaCortada(linea); });
  // What the journal holds came before its last write (opening may write it).
  std::error_code error;
  const auto escrito = std::filesystem::last_write_time(
      std::filesystem::path(directorio_) / DiarioRecepcion::kArchivo, error);
  if (!error) llegadaRecuperada_ = std::chrono::file_clock::to_sys(escrito);
  AbrirDiario();
  Recuperar();
  gestor_.Conectar();
  // What waited before the restart goes first, before new data.
  gestor_.Reintentar();
}

void ResguardoCaptura::AbrirDiario() {
  auto abierto = DiarioRecepcion::Abrir(directorio_);
  if (!abierto) {
    // Capture goes on without it; the operator sees why.
    bitacora_.DiarioNoGuardado(abierto.Falla());
    return;
  }
  auto& diario = abierto.Dato();
  if (auto unido = comm_.Diario(diario.get()); !unido) {
    bitacora_.DiarioNoGuardado(unido.Falla());
    return;
  }
  if (diario->Dano()) bitacora_.ArchivoDanado(*diario->Dano());
  diario_ = std::move(diario);
  receptor_.AlCompletarLinea([d = diario_.get()](uint64_t posicion) { d->Completado(posicion); });
}

// Lines received but never completed may have been posted before the end:
// they take the path that posts only what is not stored yet.
void ResguardoCaptura::Recuperar() {
  if (!diario_) return;
  auto recuperado = diario_->Recuperar();
  if (!recuperado) {
    bitacora_.DiarioNoGuardado(recuperado.Falla());
    return;
  }
  const auto& tramos = recuperado.Dato();
  if (tramos.size() == 1 && tramos.front().Bytes.empty()) return;
  receptor_.ManejarLineas([this](std::string_view linea, captura::_Telefono&) {
    gestor_.EncolarRecuperada(linea, llegadaRecuperada_);
  });
  // Each stretch on its own: a line cut by damage is not joined across it.
  for (const auto& tramo : tramos) receptor_.ProcesarRecuperado(tramo.Bytes, tramo.Posicion);
}

void ResguardoCaptura::Descartados(uint64_t fin) {
  if (diario_) diario_->Completado(fin);
}

void ResguardoCaptura::Reintentar() {
  gestor_.Reintentar();
  VigilarDiario();
}

std::optional<GestorPendientes::Instante> ResguardoCaptura::ProximoIntento() const {
  return gestor_.ProximoIntento();
}

// A journal that cannot write is told once, not once per receive event, and
// again only after it has written everything it held and failed anew.
void ResguardoCaptura::VigilarDiario() {
  if (!diario_) return;
  const bool fallando = diario_->Fallos() != fallosVistos_ || diario_->SinAsegurar() > 0;
  fallosVistos_ = diario_->Fallos();
  if (fallando == diarioFallando_) return;
  diarioFallando_ = fallando;
  if (fallando) bitacora_.DiarioNoGuardado(diario_->UltimoFallo());
  if (alCambiar_) alCambiar_();
}

std::string ResguardoCaptura::Resumen() const {
  std::string texto = "Llamadas pendientes: " + std::to_string(Pendientes()) +
                      "   Apartadas: " + std::to_string(Aparcadas());
  if (!gestor_.Cola().EstadoArchivo() || gestor_.Cola().Dano())
    texto += "   Archivo de pendientes: ver registro del sistema";
  if (diario_ && diario_->Dano()) texto += "   Diario de recepcion: ver registro del sistema";
  if (!diario_) {
    texto += "   Diario de recepcion inactivo";
  } else if (diario_->SinAsegurar() > 0) {
    texto += "   Diario sin guardar: " + std::to_string(diario_->SinAsegurar()) + " bytes";
  }
  return texto;
}

void ResguardoCaptura::AlCambiar(std::function<void()> aviso) {
  alCambiar_ = aviso;
  gestor_.AlCambiar(std::move(aviso));
}
