#include "resguardo/MarcaCompletado.h"

#include <fcntl.h>

#include <cerrno>

#include "resguardo/ArchivoDisco.h"
#include "resguardo/CodigoRegistro.h"

namespace {

constexpr int kRanuras = 2;
constexpr size_t kLargoRanura = 2 * sizeof(uint64_t);  // position, check

std::string Ranura(uint64_t posicion) {
  std::string ranura;
  codigo_registro::Poner(ranura, posicion);
  codigo_registro::Poner(ranura, archivo_disco::Control(posicion));
  return ranura;
}

// A slot holds a position when its check matches; a fresh or torn one does not.
bool LeerRanura(std::string_view bytes, uint64_t& posicion) {
  if (bytes.size() < kLargoRanura) return false;
  const auto leida = codigo_registro::Tomar<uint64_t>(bytes, 0);
  if (codigo_registro::Tomar<uint64_t>(bytes, sizeof leida) != archivo_disco::Control(leida)) {
    return false;
  }
  posicion = leida;
  return true;
}

}  // namespace

captura::Resultado<MarcaCompletado> MarcaCompletado::Abrir(const std::filesystem::path& ruta) {
  Descriptor archivo = archivo_disco::AbrirPropio(ruta, O_RDWR, true);
  if (!archivo.Valido()) return archivo_disco::FalloSistema(errno, ruta.string());
  std::string bytes;
  const off_t largo = ::lseek(archivo.fd(), 0, SEEK_END);
  if (largo < 0) return archivo_disco::FalloSistema(errno, ruta.string());
  const auto legible = std::min<uint64_t>(static_cast<uint64_t>(largo), kRanuras * kLargoRanura);
  if (auto leido = archivo_disco::LeerDe(archivo, 0, legible, bytes, ruta); !leido) {
    return leido.Falla();
  }
  // Positions only grow: the higher valid slot is the latest; write over the other.
  uint64_t posicion = 0;
  int ranura = 0;
  for (int i = 0; i < kRanuras; ++i) {
    uint64_t leida = 0;
    const auto desde = std::min(bytes.size(), i * kLargoRanura);
    if (LeerRanura(std::string_view(bytes).substr(desde), leida) && leida >= posicion) {
      posicion = leida;
      ranura = (i + 1) % kRanuras;
    }
  }
  return MarcaCompletado(std::move(archivo), ruta, posicion, ranura);
}

MarcaCompletado::MarcaCompletado(Descriptor archivo, std::filesystem::path ruta, uint64_t posicion,
                                 int ranura)
    : archivo_(std::move(archivo)), ruta_(std::move(ruta)), posicion_(posicion), ranura_(ranura) {}

captura::Estado MarcaCompletado::Escribir(uint64_t posicion) {
  auto escrito =
      archivo_disco::EscribirEn(archivo_, Ranura(posicion), ranura_ * kLargoRanura, ruta_);
  if (!escrito) return escrito;
  posicion_ = posicion;
  ranura_ = (ranura_ + 1) % kRanuras;
  return {};
}
