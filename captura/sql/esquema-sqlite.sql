-- The four tables of the hotel database that Sentrel reads and writes, for
-- the embedded SQLite default. Dates and times are kept as the text the
-- station writes (the regional short date, "hh:mm").
PRAGMA journal_mode = WAL;

CREATE TABLE Productos (
  ProductoID INTEGER PRIMARY KEY,
  -- NOCASE: SQLite's LIKE is case-insensitive and uses an index only on a
  -- NOCASE column.
  CodigosTelefonicos TEXT COLLATE NOCASE,
  Descripcion TEXT,
  PrecioVenta REAL,
  PrecioCosto REAL,
  MonedaId INTEGER
);
CREATE INDEX IX_Productos_CodigosTelefonicos ON Productos (CodigosTelefonicos);

CREATE TABLE Habitaciones (
  HabitacionId INTEGER PRIMARY KEY,
  NroHabitacion TEXT NOT NULL,
  ReservaId INTEGER DEFAULT 0
);
CREATE INDEX IX_Habitaciones_NroHabitacion ON Habitaciones (NroHabitacion);

CREATE TABLE CuentasCorrientes (
  CuentaCorrienteId INTEGER PRIMARY KEY,
  ComandaId INTEGER,
  ReservaId INTEGER,
  HabitacionId INTEGER,
  ProductoID INTEGER,
  PrecioUnitario REAL,
  Cantidad REAL,
  Estado INTEGER,
  TransacciondocumentoId TEXT,
  fecha TEXT,
  hora TEXT,
  puntoventaId INTEGER,
  comandamanual TEXT,
  Facturable INTEGER,
  PagoPor INTEGER,
  Igv REAL,
  Servicio REAL,
  Discado TEXT,
  automatico INTEGER,
  MonedaId INTEGER,
  TipoCambio REAL
);
CREATE INDEX IX_CuentasCorrientes_ReservaId ON CuentasCorrientes (ReservaId);

CREATE TABLE telefonos (
  TelefonoId INTEGER PRIMARY KEY,
  Anexo TEXT,
  Discado TEXT,
  Fecha TEXT,
  Hora TEXT,
  Tiempo TEXT,
  Codigo TEXT,
  Reservaid INTEGER,
  HabitacionId INTEGER,
  PrecioVenta REAL,
  PrecioCosto REAL,
  ProductoId INTEGER,
  MonedaId INTEGER,
  TipoCambio REAL
);
