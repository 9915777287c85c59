#include "estacion/ajustes/PerfilIni.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <vector>

#include "captura/Descriptor.h"
#include "resguardo/ArchivoDisco.h"

namespace {

constexpr std::string_view kBlancos = " \t\r";
// Some editors begin a UTF-8 file with it.
constexpr std::string_view kMarcaOrden = "\xEF\xBB\xBF";

std::string_view Recortar(std::string_view texto) {
  const auto inicio = texto.find_first_not_of(kBlancos);
  if (inicio == std::string_view::npos) return {};
  const auto fin = texto.find_last_not_of(kBlancos);
  return texto.substr(inicio, fin - inicio + 1);
}

// One line of the file with its own ending ("\r\n", "\n", or none at the end).
struct Linea {
  std::string texto;
  std::string fin;
};

std::optional<std::string_view> NombreSeccion(std::string_view linea) {
  const auto texto = Recortar(linea);
  if (texto.empty() || texto.front() != '[') return std::nullopt;
  const auto cierre = texto.find(']');
  return Recortar(texto.substr(1, cierre == std::string_view::npos ? cierre : cierre - 1));
}

struct Par {
  std::string_view clave;
  std::string_view valor;
};

std::optional<Par> ClaveValor(std::string_view linea) {
  const auto texto = Recortar(linea);
  if (texto.empty() || texto.front() == ';') return std::nullopt;
  const auto igual = texto.find('=');
  if (igual == std::string_view::npos) return std::nullopt;
  return Par{Recortar(texto.substr(0, igual)), Recortar(texto.substr(igual + 1))};
}

std::string_view SinComillas(std::string_view valor) {
  if (valor.size() >= 2 && (valor.front() == '"' || valor.front() == '\'') &&
      valor.back() == valor.front()) {
    return valor.substr(1, valor.size() - 2);
  }
  return valor;
}

// The lines of a file, and where a section and its keys lie among them.
class Documento {
 public:
  static Documento Desde(std::string_view contenido) {
    Documento doc;
    if (contenido.starts_with(kMarcaOrden)) {
      doc.marca_ = kMarcaOrden;
      contenido.remove_prefix(kMarcaOrden.size());
    }
    std::size_t pos = 0;
    while (pos < contenido.size()) {
      const auto salto = contenido.find('\n', pos);
      if (salto == std::string_view::npos) {
        doc.lineas_.push_back({std::string(contenido.substr(pos)), ""});
        break;
      }
      const bool cr = salto > pos && contenido[salto - 1] == '\r';
      const auto finTexto = cr ? salto - 1 : salto;
      doc.lineas_.push_back(
          {std::string(contenido.substr(pos, finTexto - pos)), cr ? "\r\n" : "\n"});
      pos = salto + 1;
    }
    return doc;
  }

  // First line that opens the section, or nothing.
  std::optional<std::size_t> Seccion(std::string_view nombre) const {
    for (std::size_t i = 0; i < lineas_.size(); ++i) {
      const auto n = NombreSeccion(lineas_[i].texto);
      if (n && PerfilIni::MismoNombre(*n, nombre)) return i;
    }
    return std::nullopt;
  }

  // The line after the section's last line (next section or end of file).
  std::size_t FinSeccion(std::size_t cabecera) const {
    std::size_t i = cabecera + 1;
    while (i < lineas_.size() && !NombreSeccion(lineas_[i].texto)) ++i;
    return i;
  }

  std::optional<std::size_t> Clave(std::size_t cabecera, std::string_view clave) const {
    const std::size_t fin = FinSeccion(cabecera);
    for (std::size_t i = cabecera + 1; i < fin; ++i) {
      const auto par = ClaveValor(lineas_[i].texto);
      if (par && PerfilIni::MismoNombre(par->clave, clave)) return i;
    }
    return std::nullopt;
  }

  std::optional<std::string_view> Valor(std::string_view seccion, std::string_view clave) const {
    const auto cabecera = Seccion(seccion);
    if (!cabecera) return std::nullopt;
    const auto linea = Clave(*cabecera, clave);
    if (!linea) return std::nullopt;
    return SinComillas(ClaveValor(lineas_[*linea].texto)->valor);
  }

  void Poner(std::string_view seccion, std::string_view clave, std::string_view valor) {
    const auto cabecera = Seccion(seccion);
    if (!cabecera) {
      Agregar(lineas_.size(), "[" + std::string(seccion) + "]");
      Agregar(lineas_.size(), std::string(clave) + "=" + std::string(valor));
      return;
    }
    if (const auto linea = Clave(*cabecera, clave)) {
      // The key keeps the spelling it has in the file.
      auto& texto = lineas_[*linea].texto;
      texto = std::string(ClaveValor(texto)->clave) + "=" + std::string(valor);
      return;
    }
    // After the section's last line that is not blank.
    auto fin = FinSeccion(*cabecera);
    while (fin > *cabecera + 1 && Recortar(lineas_[fin - 1].texto).empty()) --fin;
    Agregar(fin, std::string(clave) + "=" + std::string(valor));
  }

  std::string Contenido() const {
    std::string todo = marca_;
    for (const auto& l : lineas_) todo.append(l.texto).append(l.fin);
    return todo;
  }

 private:
  // New lines take the ending of the file's first line ending, LF in a new file.
  std::string FinDeLinea() const {
    for (const auto& l : lineas_) {
      if (!l.fin.empty()) return l.fin;
    }
    return "\n";
  }

  void Agregar(std::size_t pos, std::string texto) {
    const auto fin = FinDeLinea();
    if (pos > 0 && lineas_[pos - 1].fin.empty()) lineas_[pos - 1].fin = fin;
    lineas_.insert(lineas_.begin() + static_cast<std::ptrdiff_t>(pos), {std::move(texto), fin});
  }

  std::string marca_;  // the byte-order mark the file began with, if any
  std::vector<Linea> lineas_;
};

// The file's bytes; the empty text for a missing file; nothing when it exists
// but cannot be read.
std::optional<std::string> LeerArchivo(const std::string& ruta) {
  std::ifstream entrada(ruta, std::ios::binary);
  if (!entrada) {
    std::error_code ec;
    if (!std::filesystem::exists(ruta, ec) && !ec) return std::string();
    return std::nullopt;
  }
  std::ostringstream contenido;
  contenido << entrada.rdbuf();
  if (entrada.bad()) return std::nullopt;
  return std::move(contenido).str();
}

// A value or a name goes on one line: a NUL ends it, as in the C text the
// Windows call takes, and line breaks become blanks.
std::string EnUnaLinea(std::string_view texto) {
  std::string limpio(texto.substr(0, texto.find('\0')));
  std::replace_if(
      limpio.begin(), limpio.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return limpio;
}

// A symbolic link keeps pointing at the file: the file behind it is replaced.
std::string RutaReal(const std::string& ruta) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(ruta, ec)) return ruta;
  const auto real = std::filesystem::canonical(ruta, ec);
  return ec ? ruta : real.string();
}

// In a directory whose group is not the user's own, the group shares the
// file: the operators of the service's directory save it, the service reads it.
std::optional<struct stat> ConGrupoDelDirectorio(const std::string& ruta,
                                                 std::optional<struct stat> anterior) {
  struct stat directorio {};
  const auto padre = std::filesystem::path(ruta).parent_path();
  if (::stat(padre.empty() ? "." : padre.c_str(), &directorio) != 0 ||
      directorio.st_gid == ::getegid()) {
    return anterior;
  }
  struct stat st {};
  st.st_mode = S_IFREG;
  if (anterior) st = *anterior;
  st.st_mode |= 0660;
  // Another user's file cannot stay theirs: it becomes the writer's, in the group.
  st.st_uid = ::geteuid();
  st.st_gid = directorio.st_gid;
  return st;
}

// Writes the whole content to a new file beside `ruta` and renames it over.
captura::Estado Reemplazar(const std::string& ruta, const std::string& contenido,
                           const std::optional<struct stat>& anterior) {
  static std::atomic<unsigned> contador{0};
  // A name of this process's own: two writers never share a temporary.
  const std::string temporal =
      ruta + "." + std::to_string(::getpid()) + "." + std::to_string(contador++) + ".tmp";
  archivo_disco::Reemplazo como;
  como.Permisos = 0666;
  como.Anterior = ConGrupoDelDirectorio(ruta, anterior);
  const auto hecho = archivo_disco::Reemplazar(ruta, temporal, {contenido}, como);
  if (!hecho) return hecho.Falla();
  return {};
}

}  // namespace

bool PerfilIni::MismoNombre(std::string_view a, std::string_view b) {
  auto menor = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return menor(x) == menor(y); });
}

std::size_t PerfilIni::LeerValor(const std::string& ruta, std::string_view seccion,
                                 std::string_view clave, std::string_view porDefecto, char* buffer,
                                 std::size_t tamano) {
  if (buffer == nullptr || tamano == 0) return 0;
  std::string_view valor = porDefecto;
  const auto contenido = LeerArchivo(ruta);
  std::optional<Documento> doc;
  if (contenido) {
    doc = Documento::Desde(*contenido);
    if (const auto hallado = doc->Valor(seccion, clave)) valor = *hallado;
  }
  const auto n = std::min(valor.size(), tamano - 1);
  std::copy_n(valor.data(), n, buffer);
  buffer[n] = '\0';
  return n;
}

captura::Estado PerfilIni::EscribirValor(const std::string& ruta, std::string_view seccion,
                                         std::string_view clave, std::string_view valor) {
  const auto destino = RutaReal(ruta);
  std::optional<struct stat> anterior;
  struct stat st {};
  if (::stat(destino.c_str(), &st) == 0) {
    // A read-only file stays as it is, as it would on Windows.
    if (!S_ISREG(st.st_mode)) {
      return archivo_disco::FalloSistema(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, destino);
    }
    if ((st.st_mode & 0222) == 0) return archivo_disco::FalloSistema(EACCES, destino);
    if (::access(destino.c_str(), W_OK) != 0) return archivo_disco::FalloSistema(errno, destino);
    anterior = st;
  }
  const auto contenido = LeerArchivo(destino);
  if (!contenido) return archivo_disco::FalloSistema(errno ? errno : EIO, destino);
  auto doc = Documento::Desde(*contenido);
  doc.Poner(EnUnaLinea(seccion), EnUnaLinea(clave), EnUnaLinea(valor));
  return Reemplazar(destino, doc.Contenido(), anterior);
}
