// probar-captura: what an installer runs to check that the station sees the
// hotel database. Calls one method of the component (loaded from beside this
// program, as the station loads it) and prints its results or its failure.
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "captura/CargadorTelefono.h"
#include "captura/Regional.h"

namespace {

using captura::Estado;
using captura::Fecha;
using captura::Regional;
using Argumentos = std::vector<std::string>;

constexpr char kUso[] =
    "uso: probar-captura METODO ARGUMENTOS...\n"
    "\n"
    "  ListarTodo DISCADO\n"
    "  PrecioCostoLocal DISCADO\n"
    "  ReservaHabitacion NRO_HABITACION\n"
    "  CrearDetalle COMANDA RESERVA HABITACION PRODUCTO PRECIO_UNITARIO CANTIDAD\n"
    "               COMANDA_MANUAL PUNTO_VENTA FACTURABLE PAGO_POR ESTADO TRANSACCION\n"
    "               IGV SERVICIO DISCADO MONEDA TIPO_CAMBIO FECHA HORA\n"
    "  Crea ANEXO DISCADO FECHA HORA TIEMPO CODIGO RESERVA HABITACION PRECIO_VENTA\n"
    "       PRECIO_COSTO PRODUCTO MONEDA TIPO_CAMBIO\n"
    "  CreaLLamda ANEXO DISCADO FECHA HORA\n"

    "\n"
    "Numbers with \".\" as decimal separator; FECHA in the locale's short date\n"
    "(e.g. 07/12/2026 under es_PE), optionally followed by \" hh:mm:ss\"; HORA\n"
    "hh:mm. The data source is Tavro_Datos of odbc.ini. Exit status: 0 done,\n"
    "1 the method failed, 2 bad arguments.\n";

// A bad argument: reported by name, exit status 2.
struct ArgumentoInvalido {
  std::string texto;
};

template <class T>
T Numero(const std::string& texto, const char* nombre) {
  T v{};
  const auto [fin, error] = std::from_chars(texto.data(), texto.data() + texto.size(), v);
  if (error != std::errc() || fin != texto.data() + texto.size()) {
    throw ArgumentoInvalido{std::string(nombre) + ": \"" + texto + "\" is not a valid number"};
  }
  return v;
}

int32_t Long(const std::string& t, const char* n) { return Numero<int32_t>(t, n); }
float Float(const std::string& t, const char* n) { return Numero<float>(t, n); }
uint8_t Byte(const std::string& t, const char* n) {
  const int v = Numero<int>(t, n);
  if (v < 0 || v > 255) throw ArgumentoInvalido{std::string(n) + ": must be 0 to 255"};
  return static_cast<uint8_t>(v);
}

Fecha LeerFecha(const std::string& texto, const char* nombre) {
  const auto blanco = texto.find(' ');
  auto dia = Regional::LeerFecha(texto.substr(0, blanco));
  std::optional<Fecha> hora = Fecha{0};
  if (blanco != std::string::npos) hora = Regional::LeerHora(texto.substr(blanco + 1));
  if (!dia || !hora) {
    throw ArgumentoInvalido{std::string(nombre) + ": \"" + texto + "\" is not a date"};
  }
  return *dia + *hora;
}

Fecha LeerHora(const std::string& texto, const char* nombre) {
  auto hora = Regional::LeerHora(texto);
  if (!hora) throw ArgumentoInvalido{std::string(nombre) + ": \"" + texto + "\" is not hh:mm"};
  return *hora;
}

int Informar(const Estado& e) {
  if (e) {
    std::puts("OK");
    return 0;
  }
  std::printf("Failure %d (0x%08X): %s\n", e.Falla().Numero,
              static_cast<unsigned>(e.Falla().Numero), e.Falla().Descripcion.c_str());
  return 1;
}

void Imprimir(const char* campo, const captura::Valor& v) {
  auto texto = v.ATexto();
  std::printf("  %s=%s", campo, v.EsNulo() ? "NULL" : texto.Dato().c_str());
}

int ListarTodo(captura::_Telefono& t, const Argumentos& a) {
  auto rs = t.ListarTodo(a[0]);
  if (!rs) return Informar(rs.Falla());
  auto& r = *rs.Dato();
  std::printf("%ld row(s)\n", r.RecordCount());
  for (r.MoveFirst(); !r.EOF_(); r.MoveNext()) {
    for (const char* c :
         {"CodigosTelefonicos", "PrecioVenta", "PrecioCosto", "ProductoID", "MonedaId"}) {
      Imprimir(c, r.Campo(c).Dato());
    }
    std::puts("");
  }
  return 0;
}

int PrecioCostoLocal(captura::_Telefono& t, const Argumentos& a) {
  int32_t producto = 0, moneda = 0;
  float costo = 0;
  auto precio = t.PrecioCostoLocal(a[0], producto, costo, moneda);
  std::printf("vProducto=%d vCosto=%g vMonedaId=%d\n", producto, costo, moneda);
  if (!precio) return Informar(precio.Falla());
  std::printf("PrecioVenta=%g\n", precio.Dato());
  return 0;
}

int ReservaHabitacion(captura::_Telefono& t, const Argumentos& a) {
  int32_t reserva = 0, habitacion = 0;
  auto e = t.ReservaHabitacion(reserva, habitacion, a[0]);
  std::printf("vReserva=%d vHabitacion=%d\n", reserva, habitacion);
  return Informar(e);
}

int CrearDetalle(captura::_Telefono& t, const Argumentos& a) {
  return Informar(t.CrearDetalle(
      Long(a[0], "COMANDA"), Long(a[1], "RESERVA"), Long(a[2], "HABITACION"),
      Long(a[3], "PRODUCTO"), Float(a[4], "PRECIO_UNITARIO"), Float(a[5], "CANTIDAD"), a[6],
      Long(a[7], "PUNTO_VENTA"), Long(a[8], "FACTURABLE"), Byte(a[9], "PAGO_POR"),
      Byte(a[10], "ESTADO"), a[11], Float(a[12], "IGV"), Float(a[13], "SERVICIO"), a[14],
      Long(a[15], "MONEDA"), Float(a[16], "TIPO_CAMBIO"), LeerFecha(a[17], "FECHA"),
      LeerHora(a[18], "HORA")));
}

int Crea(captura::_Telefono& t, const Argumentos& a) {
  return Informar(t.Crea(a[0], a[1], LeerFecha(a[2], "FECHA"), LeerHora(a[3], "HORA"), a[4], a[5],
                         Long(a[6], "RESERVA"), Long(a[7], "HABITACION"),
                         Float(a[8], "PRECIO_VENTA"), Float(a[9], "PRECIO_COSTO"),
                         Long(a[10], "PRODUCTO"), Byte(a[11], "MONEDA"),
                         Float(a[12], "TIPO_CAMBIO")));
}

int CreaLLamda(captura::_Telefono& t, const Argumentos& a) {
  return Informar(t.CreaLLamda(a[0], a[1], LeerFecha(a[2], "FECHA"), LeerHora(a[3], "HORA")));
}

struct Metodo {
  std::size_t argumentos;
  std::function<int(captura::_Telefono&, const Argumentos&)> llamar;
};

const std::map<std::string, Metodo> kMetodos = {
    {"ListarTodo", {1, ListarTodo}},
    {"PrecioCostoLocal", {1, PrecioCostoLocal}},
    {"ReservaHabitacion", {1, ReservaHabitacion}},
    {"CrearDetalle", {19, CrearDetalle}},
    {"Crea", {13, Crea}},
    {"CreaLLamda", {4, CreaLLamda}},
};

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUso, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const auto metodo = kMetodos.find(argv[1]);
  if (metodo == kMetodos.end()) {
    std::fprintf(stderr, "probar-captura: unknown method \"%s\"\n\n%s", argv[1], kUso);
    return 2;
  }
  const Argumentos args(argv + 2, argv + argc);
  if (args.size() != metodo->second.argumentos) {
    std::fprintf(stderr, "probar-captura: %s takes %zu argument(s), %zu given\n\n%s", argv[1],
                 metodo->second.argumentos, args.size(), kUso);
    return 2;
  }
  auto telefono = captura::CargadorTelefono::DelPrograma().Crear();
  if (!telefono) return Informar(telefono.Falla());
  try {
    return metodo->second.llamar(*telefono.Dato(), args);
  } catch (const ArgumentoInvalido& e) {
    std::fprintf(stderr, "probar-captura: %s\n", e.texto.c_str());
    return 2;
  }
}
