#include "captura/Valor.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "captura/Recordset.h"

namespace captura {
namespace {

TEST(Valor, NuloEsDistintoDeCeroYDeTextoVacio) {
  EXPECT_TRUE(Valor().EsNulo());
  EXPECT_NE(Valor(), Valor::Entero(0));
  EXPECT_NE(Valor(), Valor::Texto(""));
  EXPECT_EQ(Valor().ALong().Falla().Numero, kErrorNulo);
  EXPECT_EQ(Valor().AFloat().Falla().Numero, kErrorNulo);
  EXPECT_EQ(Valor().ATexto().Falla().Numero, kErrorNulo);
}

TEST(Valor, ConversionesNumericas) {
  EXPECT_EQ(Valor::Texto(" 12 ").ALong().Dato(), 12);
  EXPECT_EQ(Valor::Real(2.5).ALong().Dato(), 2);  // halves to even
  EXPECT_EQ(Valor::Real(3.5).ALong().Dato(), 4);
  EXPECT_FLOAT_EQ(Valor::Texto("1.25").AFloat().Dato(), 1.25f);
  EXPECT_EQ(Valor::Texto("abc").ALong().Falla().Numero, kErrorTipo);
  EXPECT_EQ(Valor::Texto("").AFloat().Falla().Numero, kErrorTipo);
  EXPECT_EQ(Valor::Entero(int64_t{1} << 40).ALong().Falla().Numero, kErrorDesbordamiento);
  EXPECT_EQ(Valor::Real(1e40).AFloat().Falla().Numero, kErrorDesbordamiento);
  EXPECT_EQ(Valor::Entero(-7).ATexto().Dato(), "-7");
}

TEST(Valor, NumerosDeTextoConPuntoEnCualquierLocale) {
  const std::string previo = std::setlocale(LC_NUMERIC, nullptr);
  ASSERT_NE(std::setlocale(LC_NUMERIC, "es_PE.UTF-8"), nullptr);
  EXPECT_FLOAT_EQ(Valor::Texto("0.50").AFloat().Dato(), 0.5f);
  EXPECT_EQ(Valor::Texto("0,50").AFloat().Falla().Numero, kErrorTipo);
  std::setlocale(LC_NUMERIC, previo.c_str());
}

TEST(Recordset, RecorreFilasYBuscaCamposSinMayusculas) {
  Recordset rs({"CodigosTelefonicos", "PrecioVenta"});
  EXPECT_TRUE(rs.EOF_());
  EXPECT_TRUE(rs.BOF());
  EXPECT_EQ(rs.Campo("PrecioVenta").Falla().Numero, 3021);
  rs.AgregarFila({Valor::Texto("005"), Valor::Real(1.5)});
  rs.AgregarFila({Valor(), Valor::Entero(2)});
  EXPECT_EQ(rs.RecordCount(), 2);
  rs.MoveFirst();
  EXPECT_FALSE(rs.BOF());
  EXPECT_EQ(rs.Campo("codigostelefonicos").Dato(), Valor::Texto("005"));
  EXPECT_EQ(rs.Campo("Inexistente").Falla().Numero, 3265);
  ASSERT_EQ(rs.Indice("PRECIOVENTA"), 1u);
  EXPECT_FALSE(rs.Indice("Inexistente"));
  EXPECT_EQ(rs.Campo(*rs.Indice("precioventa")).Dato(), Valor::Real(1.5));
  EXPECT_EQ(rs.Campo(std::size_t{7}).Falla().Numero, 3265);
  rs.MoveNext();
  EXPECT_TRUE(rs.Campo("CODIGOSTELEFONICOS").Dato().EsNulo());
  rs.MoveNext();
  EXPECT_TRUE(rs.EOF_());
  rs.MoveNext();
  EXPECT_TRUE(rs.EOF_());
  rs.MoveFirst();
  EXPECT_EQ(rs.Campo("precioventa").Dato().AFloat().Dato(), 1.5f);
}

}  // namespace
}  // namespace captura
