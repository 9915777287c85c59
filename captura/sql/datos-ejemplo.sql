-- Sample tariffs and rooms for the demo: a hotel in Lima, prices in soles
-- (MonedaId 1) per started minute. Codes are what the guest dials after the
-- exchange's outside-line digit: "00" + country code for international
-- calls, "0" + area code for national ones, the first digit of the number
-- for local calls (looked up exactly), toll-free 0800/0801 at no charge.
INSERT INTO Productos (ProductoID, CodigosTelefonicos, Descripcion, PrecioVenta, PrecioCosto, MonedaId) VALUES
  (1, '001', 'EE.UU. y Canada', 2.5, 0.9, 1),
  (2, '0052', 'Mexico', 3, 1.1, 1),
  (3, '0054', 'Argentina', 2.8, 1, 1),
  (4, '0055', 'Brasil', 2.8, 1, 1),
  (5, '0056', 'Chile', 2.5, 0.85, 1),
  (6, '0057', 'Colombia', 2.5, 0.85, 1),
  (7, '0058', 'Venezuela', 3.2, 1.2, 1),
  (8, '00591', 'Bolivia', 2.7, 0.95, 1),
  (9, '00593', 'Ecuador', 2.5, 0.85, 1),
  (10, '0034', 'Espana', 3.5, 1.3, 1),
  (11, '00346', 'Espana moviles', 4.5, 2, 1),
  (12, '0033', 'Francia', 3.5, 1.3, 1),
  (13, '0039', 'Italia', 3.5, 1.3, 1),
  (14, '0044', 'Reino Unido', 3.5, 1.25, 1),
  (15, '0049', 'Alemania', 3.5, 1.25, 1),
  (16, '0081', 'Japon', 4.9, 2.1, 1),
  (17, '0086', 'China', 4.5, 1.8, 1),
  (18, '00', 'Resto del mundo', 6, NULL, 1),
  (30, '01', 'Lima (desde provincia)', 0.8, 0.25, 1),
  (31, '041', 'Amazonas', 0.9, 0.3, 1),
  (32, '043', 'Ancash', 0.9, 0.3, 1),
  (33, '044', 'La Libertad', 0.9, 0.3, 1),
  (34, '051', 'Puno', 0.9, 0.3, 1),
  (35, '052', 'Tacna', 0.9, 0.3, 1),
  (36, '053', 'Moquegua', 0.9, 0.3, 1),
  (37, '054', 'Arequipa', 0.9, 0.3, 1),
  (38, '056', 'Ica', 0.9, 0.3, 1),
  (39, '064', 'Junin', 0.9, 0.3, 1),
  (40, '065', 'Loreto', 1, 0.35, 1),
  (41, '066', 'Ayacucho', 0.9, 0.3, 1),
  (42, '073', 'Piura', 0.9, 0.3, 1),
  (43, '074', 'Lambayeque', 0.9, 0.3, 1),
  (44, '076', 'Cajamarca', 0.9, 0.3, 1),
  (45, '084', 'Cusco', 0.9, 0.3, 1),
  (46, '09', 'Moviles (larga distancia)', 1.2, 0.5, 1),
  (50, '0800', 'Linea gratuita', 0, NULL, 1),
  (51, '0801', 'Linea de pago compartido', 0, NULL, 1),
  (60, '2', 'Local Lima', 0.3, 0.1, 1),
  (61, '3', 'Local Lima', 0.3, 0.1, 1),
  (62, '4', 'Local Lima', 0.3, 0.1, 1),
  (63, '5', 'Local Lima', 0.3, 0.1, 1),
  (64, '6', 'Local Lima', 0.3, 0.1, 1),
  (65, '7', 'Local Lima', 0.3, 0.1, 1),
  (66, '9', 'Moviles locales', 0.9, NULL, 1);

-- Rooms numbered like their extensions; a positive ReservaId is a stay in
-- progress, 0 a free room.
INSERT INTO Habitaciones (HabitacionId, NroHabitacion, ReservaId) VALUES
  (1, '101', 5001), (2, '102', 0), (3, '103', 5002), (4, '104', 0), (5, '105', 5003),
  (6, '106', 0), (7, '107', 0), (8, '108', 5004), (9, '109', 0), (10, '110', 0),
  (11, '111', 5005), (12, '112', 0), (13, '113', 0), (14, '114', 5006), (15, '115', 0),
  (16, '116', 0), (17, '117', 5007), (18, '118', 0), (19, '119', 0), (20, '120', 5008),
  (21, '201', 5009), (22, '202', 0), (23, '203', 5010), (24, '204', 0), (25, '205', 0),
  (26, '206', 5011), (27, '207', 0), (28, '208', 0), (29, '209', 5012), (30, '210', 0),
  (31, '301', 0), (32, '302', 5013), (33, '303', 0), (34, '304', 5014), (35, '305', 0),
  (36, '401', 5015), (37, '402', 0), (38, '403', 0), (39, '501', 5016), (40, '502', 0);
