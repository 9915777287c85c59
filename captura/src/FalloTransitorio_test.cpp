#include "captura/FalloTransitorio.h"

#include <gtest/gtest.h>

namespace captura {
namespace {

// Descriptions as the data access layer builds them from real drivers.
TEST(FalloTransitorio, LaBaseQueNoRespondeSeReintenta) {
  for (const Fallo& f : {
           Fallo{kErrorConexion, "08001: could not connect to server: Connection refused"},
           Fallo{kErrorConexion, "HY000: [SQLite]connect failed"},
           Fallo{kErrorConexion, "IM002: [unixODBC][Driver Manager]Data source name not found"},
           Fallo{kErrorTiempo, "HYT00: Timeout expired"},
           Fallo{kErrorSentencia,
                 "57P01: FATAL: terminating connection due to administrator "
                 "command / 08S01: server closed the connection"},
           Fallo{kErrorSentencia, "01000: a warning / 57P03: the database system is starting up"},
           Fallo{kErrorSentencia, "53300: sorry, too many clients already"},
           Fallo{kErrorSentencia, "57014: ERROR: canceling statement due to statement timeout"},
           Fallo{kErrorSentencia, "HY008: Operation canceled"},
           Fallo{kErrorSentencia, "40P01: deadlock detected"},
           Fallo{kErrorSentencia, "HY000: [SQLite]database is locked (5)"},
           Fallo{kErrorSentencia, "HY000: [SQLite]disk I/O error (10)"},
           Fallo{kErrorSentencia, "HY000: [SQLite]unable to open database file (14)"},
           Fallo{kNoSePuedeCrear, "Cannot load /opt/sentrel/libcaptura.so: no such file"},
       }) {
    EXPECT_TRUE(EsFalloTransitorio(f)) << f.Descripcion;
  }
}

TEST(FalloTransitorio, UnValorRechazadoNoSeReintenta) {
  for (const Fallo& f : {
           Fallo{kErrorDesbordamiento, "Overflow"},
           Fallo{kErrorNulo, "Invalid use of Null"},
           Fallo{kErrorTipo, "Type mismatch"},
           Fallo{kErrorArgumento, "Invalid procedure call or argument"},
           Fallo{kErrorSentencia, "22001: value too long for type character varying(10)"},
           Fallo{kErrorSentencia, "42P01: relation \"productos\" does not exist"},
           Fallo{kErrorSentencia, "HY000: [SQLite]no such table: Productos (1)"},
           Fallo{kErrorSentencia, "23505: duplicate key / 22P02: invalid input syntax"},
           // A state's letters inside a message are not a state.
           Fallo{kErrorSentencia, "42601: syntax error at or near \"08001\""},
           Fallo{kErrorSentencia, ""},
       }) {
    EXPECT_FALSE(EsFalloTransitorio(f)) << f.Descripcion;
  }
}

}  // namespace
}  // namespace captura
