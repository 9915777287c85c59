#include "resguardo/DiarioRecepcion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <utility>

#include "resguardo/ArchivoDisco.h"
#include "resguardo/CodigoRegistro.h"
#include "resguardo/LectorTrozos.h"

using archivo_disco::FalloSistema;
using Marco = DiarioRecepcion::Marco;
using Tramos = DiarioRecepcion::Tramos;

namespace {

// The last character says the form: '2' records, '1' the bytes bare (older).
constexpr char kFirma[8] = {'S', 'N', 'T', 'R', 'D', 'I', 'A', '2'};
constexpr char kFormaCruda = '1';
constexpr size_t kCabecera = sizeof kFirma + 2 * sizeof(uint64_t);  // signature, base, check
constexpr char kSufijoNuevo[] = ".nuevo";

// A record: its mark, a CRC-32 of what follows it, the stream position and
// the length of its bytes, then the bytes.
constexpr std::string_view kMarcaRegistro("\xA7RgD", 4);
constexpr size_t kCabeceraRegistro =
    kMarcaRegistro.size() + 2 * sizeof(uint32_t) + sizeof(uint64_t);
// Longer appends are cut into several records; a longer length is damage.
constexpr uint32_t kMaximoRegistro = 1 << 20;

using codigo_registro::Poner;
using codigo_registro::Tomar;

std::string Cabecera(uint64_t base) {
  std::string cabecera(kFirma, sizeof kFirma);
  Poner(cabecera, base);
  Poner(cabecera, archivo_disco::Control(base));
  return cabecera;
}

// Appends the bytes as records to a body of that many bytes, noting each in
// the index. Empty bytes make one empty record: it keeps a gap's far side.
void Enmarcar(uint64_t posicion, std::string_view bytes, std::string& cuerpo,
              std::vector<Marco>& indice, uint64_t desplazamiento) {
  do {
    const auto largo = static_cast<uint32_t>(std::min<size_t>(bytes.size(), kMaximoRegistro));
    std::string datos;
    Poner(datos, posicion);
    Poner(datos, largo);
    const uint32_t crc = archivo_disco::Crc32(bytes.substr(0, largo), archivo_disco::Crc32(datos));
    indice.push_back({posicion, desplazamiento + cuerpo.size(), largo});
    cuerpo.append(kMarcaRegistro);
    Poner(cuerpo, crc);
    cuerpo.append(datos).append(bytes.substr(0, largo));
    posicion += largo;
    bytes.remove_prefix(largo);
  } while (!bytes.empty());
}

struct Cuerpo {
  std::string Bytes;
  std::vector<Marco> Indice;
};

Cuerpo Enmarcar(const Tramos& tramos) {
  Cuerpo cuerpo;
  for (const auto& tramo : tramos) {
    Enmarcar(tramo.Posicion, tramo.Bytes, cuerpo.Bytes, cuerpo.Indice, 0);
  }
  return cuerpo;
}

// The intact record at the start of `resto` (the body from that offset on,
// or at least a record's worth of it), if there is one, whose position lies
// between the bounds: never back behind the end of the previous record.
std::optional<Marco> RegistroEn(std::string_view resto, uint64_t desplazamiento, uint64_t minimo,
                                uint64_t maximo = UINT64_MAX) {
  if (resto.size() < kCabeceraRegistro || !resto.starts_with(kMarcaRegistro)) return std::nullopt;
  const auto crc = Tomar<uint32_t>(resto, 4);
  const auto posicion = Tomar<uint64_t>(resto, 8);
  const auto largo = Tomar<uint32_t>(resto, 16);
  if (largo > kMaximoRegistro || resto.size() - kCabeceraRegistro < largo || posicion < minimo ||
      posicion > maximo) {
    return std::nullopt;
  }
  if (archivo_disco::Crc32(resto.substr(8, 12 + largo)) != crc) return std::nullopt;
  return Marco{posicion, desplazamiento, largo};
}

// The beginning of a record whose write a crash cut short: not damage.
bool Cortado(std::string_view resto) {
  if (resto.size() < kCabeceraRegistro) return true;
  const auto largo = Tomar<uint32_t>(resto, 16);
  return resto.starts_with(kMarcaRegistro) && largo <= kMaximoRegistro &&
         resto.size() - kCabeceraRegistro < largo;
}

struct Lectura {
  std::vector<Marco> Indice;
  uint64_t Largo = 0;        // where the last intact record ends
  uint64_t Danados = 0;      // bytes that are no intact record (a cut tail aside)
  uint64_t DanoAlFinal = 0;  // of them, after the last intact record
};

uint64_t FinDe(const Marco& marco) { return marco.Posicion + marco.Largo; }

constexpr size_t kVistaRegistro = kCabeceraRegistro + kMaximoRegistro;

// Every intact record: past a damaged one, reading goes on at the next mark
// that starts an intact record going on from the last good one. Received
// bytes may hold what looks like a record; one whose position lies further
// on than the skipped bytes could have carried is such a forgery. With no
// base known (a damaged header) the first record may be anywhere.
captura::Resultado<Lectura> Escanear(LectorTrozos& cuerpo, std::optional<uint64_t> base) {
  Lectura l;
  uint64_t minimo = base.value_or(0);
  uint64_t o = 0;
  while (o < cuerpo.Largo()) {
    auto resto = cuerpo.Ver(o, kVistaRegistro);
    if (!resto) return resto.Falla();
    if (auto marco = RegistroEn(resto.Dato(), o, minimo)) {
      l.Indice.push_back(*marco);
      minimo = FinDe(*marco);
      o += kCabeceraRegistro + marco->Largo;
      l.Largo = o;
      continue;
    }
    std::optional<uint64_t> p = o;
    for (;;) {
      auto marca = cuerpo.Buscar(kMarcaRegistro, *p + 1);
      if (!marca) return marca.Falla();
      p = marca.Dato();
      if (!p) break;
      auto visto = cuerpo.Ver(*p, kVistaRegistro);
      if (!visto) return visto.Falla();
      const uint64_t maximo = !base && l.Indice.empty() ? UINT64_MAX : minimo + (*p - o);
      if (RegistroEn(visto.Dato(), *p, minimo, maximo)) break;
    }
    if (!p) {
      resto = cuerpo.Ver(o, kVistaRegistro);
      if (!resto) return resto.Falla();
      if (!Cortado(resto.Dato())) l.DanoAlFinal = cuerpo.Largo() - o;
      l.Danados += l.DanoAlFinal;
      break;
    }
    l.Danados += *p - o;
    o = *p;
  }
  return l;
}

// Adds bytes at a position to the stretches: joined to the last stretch
// when they follow it, a stretch of their own after a gap.
void AgregarTramo(Tramos& tramos, uint64_t posicion, std::string_view bytes) {
  if (!tramos.empty() && tramos.back().Posicion + tramos.back().Bytes.size() == posicion) {
    tramos.back().Bytes.append(bytes);
  } else {
    tramos.push_back({posicion, std::string(bytes)});
  }
}

uint64_t Largo(const Tramos& tramos) {
  uint64_t largo = 0;
  for (const auto& tramo : tramos) largo += tramo.Bytes.size();
  return largo;
}

// Drops the bytes that lie before `desde`.
void Recortar(Tramos& tramos, uint64_t desde) {
  while (!tramos.empty() && tramos.front().Posicion + tramos.front().Bytes.size() <= desde) {
    tramos.erase(tramos.begin());
  }
  if (tramos.empty() || tramos.front().Posicion >= desde) return;
  tramos.front().Bytes.erase(0, desde - tramos.front().Posicion);
  tramos.front().Posicion = desde;
}

// How many of a record's bytes lie before `desde`; none of it is wanted
// when all of them do (an empty record: when it lies before).
std::optional<uint64_t> Salto(uint64_t posicion, uint64_t largo, uint64_t desde) {
  if (largo == 0 ? posicion < desde : posicion + largo <= desde) return std::nullopt;
  return desde > posicion ? desde - posicion : 0;
}

// The stretches the records hold from `desde` on; `bytes` gives the body's
// bytes at an offset.
using BytesEn = std::function<captura::Resultado<std::string_view>(uint64_t, size_t)>;
captura::Resultado<Tramos> TramosDe(std::span<const Marco> indice, uint64_t desde,
                                    const BytesEn& bytes) {
  Tramos tramos;
  for (const Marco& marco : indice) {
    const auto salto = Salto(marco.Posicion, marco.Largo, desde);
    if (!salto) continue;
    auto visto = bytes(marco.Desplazamiento + kCabeceraRegistro + *salto, marco.Largo - *salto);
    if (!visto) return visto.Falla();
    AgregarTramo(tramos, marco.Posicion + *salto, visto.Dato());
  }
  return tramos;
}

// The same, from a body held whole from the offset `inicio` on.
Tramos TramosDe(std::string_view cuerpo, uint64_t inicio, std::span<const Marco> indice,
                uint64_t desde) {
  auto tramos = TramosDe(indice, desde, [&](uint64_t o, size_t n) {
    return captura::Resultado<std::string_view>(cuerpo.substr(o - inicio, n));
  });
  return std::move(tramos.Dato());
}

// What a journal file holds, and what must be written anew.
struct Contenido {
  uint64_t Base = 0;
  uint64_t Fin = 0;
  uint64_t Largo = 0;           // of the body as it stays
  std::vector<Marco> Indice;    // the records as they are in the file
  std::optional<Tramos> Nuevo;  // to be written anew (older form, or damage)
  std::string Dano;             // what was damaged; empty when nothing
};

// An empty journal whose stream stands at that position, to be written.
Contenido Vacio(uint64_t posicion) { return {posicion, posicion, 0, {}, Tramos{}, {}}; }

uint64_t FinDe(const Tramos& tramos, uint64_t base) {
  return tramos.empty() ? base : tramos.back().Posicion + tramos.back().Bytes.size();
}

// A header damaged outside the program gives no base: the done mark stands
// for it. Bare bytes after such a header are taken from the mark on, so they
// go once more through the path that posts only what is not stored yet.
captura::Resultado<Contenido> Interpretar(LectorTrozos& archivo, uint64_t marca,
                                          const std::filesystem::path& ruta) {
  auto visto = archivo.Ver(0, kCabecera);
  if (!visto) return visto.Falla();
  const std::string_view cabeza = visto.Dato();
  if (cabeza.size() < sizeof kFirma || std::memcmp(cabeza.data(), kFirma, sizeof kFirma - 1) != 0 ||
      (cabeza[7] != kFirma[7] && cabeza[7] != kFormaCruda)) {
    return captura::Fallo{EILSEQ, ruta.string() + ": no es un diario de recepción válido"};
  }
  Contenido c;
  const bool cabecera =
      cabeza.size() >= kCabecera &&
      Tomar<uint64_t>(cabeza, 16) == archivo_disco::Control(Tomar<uint64_t>(cabeza, 8));
  c.Base = cabecera ? Tomar<uint64_t>(cabeza, 8) : marca;
  if (!cabecera) c.Dano = "its header could not be read";
  const uint64_t inicio = std::min<uint64_t>(archivo.Largo(), kCabecera);
  const auto cuerpo = [&](uint64_t o, size_t n) { return archivo.Ver(inicio + o, n); };
  const uint64_t largo = archivo.Largo() - inicio;
  if (cabeza[7] == kFormaCruda) {
    // Done bytes need not be kept.
    const uint64_t desde = std::clamp(marca, c.Base, c.Base + largo) - c.Base;
    std::string bytes;
    for (uint64_t o = desde; o < largo; o += LectorTrozos::kVentana) {
      auto trozo = cuerpo(o, LectorTrozos::kVentana);
      if (!trozo) return trozo.Falla();
      bytes.append(trozo.Dato());
    }
    c.Nuevo = Tramos{{c.Base + desde, std::move(bytes)}};
    c.Fin = c.Base + largo;
    return c;
  }
  LectorTrozos registros = archivo.Parte(inicio, largo);
  auto leido = Escanear(registros, cabecera ? std::optional(c.Base) : std::nullopt);
  if (!leido) return leido.Falla();
  Lectura& l = leido.Dato();
  c.Largo = l.Largo;
  c.Fin = std::max(c.Base, l.Indice.empty() ? 0 : FinDe(l.Indice.back())) + l.DanoAlFinal;
  if (l.Danados > 0) {
    if (!c.Dano.empty()) c.Dano += "; ";
    c.Dano += std::to_string(l.Danados) + " bytes could not be read";
  }
  if (!c.Dano.empty()) {
    auto tramos = TramosDe(l.Indice, c.Base, cuerpo);
    if (!tramos) return tramos.Falla();
    c.Nuevo = std::move(tramos.Dato());
    // Damage at the end leaves a gap there too: the next bytes are not joined across it.
    if (FinDe(*c.Nuevo, c.Base) < c.Fin) c.Nuevo->push_back({c.Fin, {}});
  }
  c.Indice = std::move(l.Indice);
  return c;
}

// A journal that cannot be read is kept aside as it is, and receiving goes
// on in a new one: the station never runs without its journal for it.
// What is told of it.
captura::Resultado<std::string> Apartar(const std::filesystem::path& ruta,
                                        const captura::Fallo& motivo) {
  const std::string aparte = archivo_disco::NombreAparte(ruta.string());
  if (::rename(ruta.c_str(), aparte.c_str()) != 0) return FalloSistema(errno, ruta.string());
  return ruta.string() + " could not be read (" + motivo.Descripcion + "); the file is kept at " +
         aparte;
}

}  // namespace

captura::Resultado<std::unique_ptr<DiarioRecepcion>> DiarioRecepcion::Abrir(
    const std::filesystem::path& directorio, uint64_t umbral) {
  const auto ruta = directorio / kArchivo;
  // Left by a crash in the middle of a compaction; the old file is whole.
  ::unlink((ruta.string() + kSufijoNuevo).c_str());

  auto marca = MarcaCompletado::Abrir(directorio / kArchivoCompletado);
  if (!marca) return marca.Falla();
  const uint64_t completo = marca.Dato().Posicion();
  Descriptor datos = archivo_disco::AbrirPropio(ruta, O_RDWR);
  Contenido c = Vacio(completo);
  std::optional<captura::Fallo> dano;
  if (datos.Valido()) {
    auto tamano = archivo_disco::Tamano(datos, ruta);
    LectorTrozos archivo(datos, 0, tamano ? tamano.Dato() : 0, ruta);
    auto leido = tamano ? Interpretar(archivo, completo, ruta)
                        : captura::Resultado<Contenido>(tamano.Falla());
    if (!leido) {
      auto apartado = Apartar(ruta, leido.Falla());
      if (!apartado) return apartado.Falla();
      dano = captura::Fallo{leido.Falla().Numero, std::move(apartado.Dato())};
      datos = Descriptor();
    } else {
      c = std::move(leido.Dato());
      if (!c.Dano.empty()) {
        // Never rewritten without a copy of the file as it was.
        const std::string copia = archivo_disco::NombreAparte(ruta.string());
        if (auto copiado = archivo_disco::CopiarArchivo(datos, ruta, copia); !copiado) {
          return copiado.Falla();
        }
        dano = captura::Fallo{EILSEQ, ruta.string() + " was damaged: " + c.Dano +
                                          "; the file as it was is kept at " + copia};
      } else if (!c.Nuevo && c.Largo + kCabecera < archivo.Largo() &&
                 ::ftruncate(datos.fd(), static_cast<off_t>(c.Largo + kCabecera)) != 0) {
        // A record cut short by a crash goes, so appends follow the last whole one.
        return FalloSistema(errno, ruta.string());
      }
    }
  } else if (errno != ENOENT) {
    return FalloSistema(errno, ruta.string());
  }
  // A new journal, or done bytes that never reached the disk (after failed
  // writes): positions go on from the mark, never back.
  if (!datos.Valido() || completo > c.Fin) c = Vacio(completo);
  if (c.Nuevo) {
    const Cuerpo cuerpo = Enmarcar(*c.Nuevo);
    auto nuevo = Reescribir(directorio, c.Base, cuerpo.Bytes);
    if (!nuevo) return nuevo.Falla();
    datos = std::move(nuevo.Dato());
    c.Indice = cuerpo.Indice;
    c.Largo = cuerpo.Bytes.size();
    if (auto sincronizado = archivo_disco::SincronizarDirectorio(directorio); !sincronizado) {
      return sincronizado.Falla();
    }
  }
  auto diario = std::make_unique<DiarioRecepcion>(Llave{}, directorio, std::move(datos), c.Base,
                                                  std::move(c.Indice), c.Largo, c.Fin,
                                                  std::move(marca.Dato()), umbral);
  diario->dano_ = std::move(dano);
  return diario;
}

captura::Resultado<Tramos> DiarioRecepcion::Leer(const std::filesystem::path& directorio) {
  const auto ruta = directorio / kArchivo;
  const Descriptor datos = archivo_disco::AbrirPropio(ruta, O_RDONLY);
  if (!datos.Valido()) return FalloSistema(errno, ruta.string());
  auto tamano = archivo_disco::Tamano(datos, ruta);
  if (!tamano) return tamano.Falla();
  LectorTrozos archivo(datos, 0, tamano.Dato(), ruta);
  auto c = Interpretar(archivo, 0, ruta);
  if (!c) return c.Falla();
  if (!c.Dato().Dano.empty()) return captura::Fallo{EILSEQ, ruta.string() + ": " + c.Dato().Dano};
  Tramos tramos;
  if (c.Dato().Nuevo) {
    tramos = std::move(*c.Dato().Nuevo);
  } else {
    auto leidos = TramosDe(c.Dato().Indice, c.Dato().Base,
                           [&](uint64_t o, size_t n) { return archivo.Ver(kCabecera + o, n); });
    if (!leidos) return leidos.Falla();
    tramos = std::move(leidos.Dato());
  }
  if (tramos.empty()) tramos.push_back({c.Dato().Base, {}});
  return tramos;
}

DiarioRecepcion::DiarioRecepcion(Llave, std::filesystem::path directorio, Descriptor datos,
                                 uint64_t base, std::vector<Marco> indice, uint64_t largo,
                                 uint64_t fin, MarcaCompletado marca, uint64_t umbral)
    : directorio_(std::move(directorio)),
      umbral_(umbral),
      datos_(std::move(datos)),
      base_(base),
      indice_(std::move(indice)),
      largo_(largo),
      fin_(fin),
      marca_(std::move(marca)),
      completo_(std::clamp(marca_.Posicion(), base, fin)),
      proximaCompactacion_(base + umbral) {}

// Written whole beside the journal, flushed, then renamed over it: a crash
// leaves either the old file or the new one, never a mix.
captura::Resultado<Descriptor> DiarioRecepcion::Reescribir(const std::filesystem::path& directorio,
                                                           uint64_t base, std::string_view cuerpo) {
  const auto ruta = (directorio / kArchivo).string();
  archivo_disco::Reemplazo como;
  como.Acceso = O_RDWR;
  return archivo_disco::Reemplazar(ruta, ruta + kSufijoNuevo, {Cabecera(base), cuerpo}, como);
}

// Once renamed the new file is the journal, but until the directory is
// flushed a power cut may bring back the old one; no append counts as safe
// before that.
captura::Estado DiarioRecepcion::AsegurarDirectorio() {
  if (!directorioSinAsegurar_) return {};
  auto sincronizado = archivo_disco::SincronizarDirectorio(directorio_);
  if (sincronizado) directorioSinAsegurar_ = false;
  return sincronizado;
}

captura::Estado DiarioRecepcion::Agregar(uint64_t posicion, std::string_view bytes) {
  std::lock_guard bloqueo(escritura_);
  posicion = std::max(posicion, fin_.load());
  AgregarTramo(sinAsegurar_, posicion, bytes);
  fin_ = posicion + bytes.size();
  return Anotar(Asegurar());
}

// Writes what is not on disk yet as records behind what is, and flushes
// them. After a failure everything not done is written again: a failed
// flush may have dropped pages the kernel no longer counts as unwritten.
captura::Estado DiarioRecepcion::Asegurar() {
  sinAsegurarLargo_ = Largo(sinAsegurar_);
  if (auto directorio = AsegurarDirectorio(); !directorio) return directorio;
  if (sinAsegurar_.empty()) return {};
  const auto ruta = directorio_ / kArchivo;
  std::string registro;
  std::vector<Marco> nuevos;
  for (const auto& tramo : sinAsegurar_) {
    Enmarcar(tramo.Posicion, tramo.Bytes, registro, nuevos, largo_);
  }
  auto escrito = archivo_disco::EscribirEn(datos_, registro, kCabecera + largo_, ruta);
  if (!escrito) return escrito;
  if (::fdatasync(datos_.fd()) != 0) return FalloSistema(errno, ruta.string());
  largo_ += registro.size();
  indice_.insert(indice_.end(), nuevos.begin(), nuevos.end());
  sinAsegurar_.clear();
  sinAsegurarLargo_ = 0;
  return {};
}

void DiarioRecepcion::Completado(uint64_t posicion) {
  // A position past the last byte cannot be done yet; taking it would
  // swallow bytes still to come.
  posicion = std::min(posicion, fin_.load());
  {
    std::lock_guard bloqueo(marcaMutex_);
    if (posicion <= completo_) return;
    completo_ = posicion;
    static_cast<void>(Anotar(marca_.Escribir(posicion)));
  }
  {
    // Done bytes a failed write still holds are neither written nor kept.
    std::lock_guard bloqueo(escritura_);
    Recortar(sinAsegurar_, posicion);
    sinAsegurarLargo_ = Largo(sinAsegurar_);
  }
  if (posicion >= proximaCompactacion_) static_cast<void>(Compactar());
}

captura::Estado DiarioRecepcion::Compactar() {
  std::lock_guard bloqueo(escritura_);
  const uint64_t completo = completo_;
  if (completo == base_) return {};
  auto cola = LeerDesde(completo);
  if (!cola) return Anotar(cola.Falla());
  Cuerpo cuerpo = Enmarcar(cola.Dato());
  auto nuevo = Reescribir(directorio_, completo, cuerpo.Bytes);
  if (!nuevo) {
    // Tried again only after as many more bytes are done, not at every line.
    proximaCompactacion_ = completo + umbral_;
    return Anotar(nuevo.Falla());
  }
  datos_ = std::move(nuevo.Dato());
  directorioSinAsegurar_ = true;
  base_ = completo;
  indice_ = std::move(cuerpo.Indice);
  largo_ = cuerpo.Bytes.size();
  sinAsegurar_.clear();
  sinAsegurarLargo_ = 0;
  proximaCompactacion_ = completo + umbral_;
  return Anotar(AsegurarDirectorio());
}

captura::Resultado<Tramos> DiarioRecepcion::Recuperar() const {
  std::lock_guard bloqueo(escritura_);
  const uint64_t completo = completo_;
  auto tramos = LeerDesde(completo);
  if (tramos && tramos.Dato().empty()) tramos.Dato().push_back({completo, {}});
  return tramos;
}

// The bytes from a position to the end: those on disk, then those not yet.
// Only what lies from the position on is read.
captura::Resultado<Tramos> DiarioRecepcion::LeerDesde(uint64_t posicion) const {
  const auto primero = std::find_if(indice_.begin(), indice_.end(), [posicion](const Marco& m) {
    return Salto(m.Posicion, m.Largo, posicion).has_value();
  });
  Tramos tramos;
  if (primero != indice_.end()) {
    const uint64_t inicio = primero->Desplazamiento + kCabeceraRegistro +
                            *Salto(primero->Posicion, primero->Largo, posicion);
    std::string cuerpo;
    auto leido = archivo_disco::LeerDe(datos_, kCabecera + inicio, largo_ - inicio, cuerpo,
                                       directorio_ / kArchivo);
    if (!leido) return leido.Falla();
    tramos = TramosDe(cuerpo, inicio, std::span(primero, indice_.end()), posicion);
  }
  for (const auto& tramo : sinAsegurar_) {
    const auto salto = Salto(tramo.Posicion, tramo.Bytes.size(), posicion);
    if (salto && !tramo.Bytes.empty()) {
      AgregarTramo(tramos, tramo.Posicion + *salto, std::string_view(tramo.Bytes).substr(*salto));
    }
  }
  return tramos;
}

captura::Estado DiarioRecepcion::Anotar(captura::Estado estado) {
  if (!estado) {
    std::lock_guard bloqueo(falloMutex_);
    ultimoFallo_ = estado.Falla();
    ++fallos_;
  }
  return estado;
}

captura::Fallo DiarioRecepcion::UltimoFallo() const {
  std::lock_guard bloqueo(falloMutex_);
  return ultimoFallo_;
}
