-- The same four tables on PostgreSQL (used by the tests and benchmarks in
-- place of the hotel's SQL Server). Needs DateStyle 'ISO, DMY' when the
-- station's locale writes the day first.
CREATE TABLE Productos (
  ProductoID serial PRIMARY KEY,
  CodigosTelefonicos varchar(20),
  Descripcion varchar(60),
  PrecioVenta numeric(12, 4),
  PrecioCosto numeric(12, 4),
  MonedaId integer
);
-- text_pattern_ops: lets LIKE 'prefix%' use the index in any collation.
CREATE INDEX IX_Productos_CodigosTelefonicos ON Productos (CodigosTelefonicos text_pattern_ops);

CREATE TABLE Habitaciones (
  HabitacionId serial PRIMARY KEY,
  NroHabitacion varchar(10) NOT NULL,
  ReservaId integer DEFAULT 0
);
CREATE INDEX IX_Habitaciones_NroHabitacion ON Habitaciones (NroHabitacion);

CREATE TABLE CuentasCorrientes (
  CuentaCorrienteId serial PRIMARY KEY,
  ComandaId integer,
  ReservaId integer,
  HabitacionId integer,
  ProductoID integer,
  PrecioUnitario real,
  Cantidad real,
  Estado smallint,
  TransacciondocumentoId varchar(30),
  fecha timestamp,
  hora varchar(5),
  puntoventaId integer,
  comandamanual varchar(30),
  Facturable integer,
  PagoPor smallint,
  Igv real,
  Servicio real,
  Discado varchar(40),
  automatico integer,
  MonedaId integer,
  TipoCambio real
);

CREATE TABLE telefonos (
  TelefonoId serial PRIMARY KEY,
  Anexo varchar(10),
  Discado varchar(40),
  Fecha timestamp,
  Hora varchar(5),
  Tiempo varchar(10),
  Codigo varchar(10),
  Reservaid integer,
  HabitacionId integer,
  PrecioVenta real,
  PrecioCosto real,
  ProductoId integer,
  MonedaId smallint,
  TipoCambio real
);
