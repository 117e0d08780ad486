-- Main database: the scale models the designer knows and the scales on the network.
-- Statements end with ";" at the end of a line; the loader splits them there.
-- MM_PER_KDOT is millimetres per 1000 print-head dots: 125 for 8 dots/mm,
-- 83 for 12 dots/mm, 167 for 6 dots/mm. Widths and heights are whole millimetres.
-- Every model takes the 55 x 50 mm label a new document starts with.
CREATE TABLE SCALE_MODEL (
  ID INTEGER PRIMARY KEY,
  SCALE_NAME TEXT NOT NULL,
  MAX_WIDTH INTEGER NOT NULL,
  MIN_WIDTH INTEGER NOT NULL,
  MAX_HEIGHT INTEGER NOT NULL,
  MIN_HEIGHT INTEGER NOT NULL,
  MM_PER_KDOT INTEGER NOT NULL
);
-- Rows are deliberately not in name order: the program sorts them by name,
-- and the first by name (the default of a new or imported label) prints 8 dots/mm.
INSERT INTO SCALE_MODEL (ID, SCALE_NAME, MAX_WIDTH, MIN_WIDTH, MAX_HEIGHT, MIN_HEIGHT, MM_PER_KDOT) VALUES (1, 'QC-20 Counter', 60, 30, 100, 20, 125);
INSERT INTO SCALE_MODEL (ID, SCALE_NAME, MAX_WIDTH, MIN_WIDTH, MAX_HEIGHT, MIN_HEIGHT, MM_PER_KDOT) VALUES (2, 'QS-40 Hanging', 60, 30, 80, 20, 125);
INSERT INTO SCALE_MODEL (ID, SCALE_NAME, MAX_WIDTH, MIN_WIDTH, MAX_HEIGHT, MIN_HEIGHT, MM_PER_KDOT) VALUES (3, 'QL-60 Label Printer', 60, 30, 120, 20, 125);
INSERT INTO SCALE_MODEL (ID, SCALE_NAME, MAX_WIDTH, MIN_WIDTH, MAX_HEIGHT, MIN_HEIGHT, MM_PER_KDOT) VALUES (4, 'QP-80 Prepack', 80, 40, 150, 25, 83);
INSERT INTO SCALE_MODEL (ID, SCALE_NAME, MAX_WIDTH, MIN_WIDTH, MAX_HEIGHT, MIN_HEIGHT, MM_PER_KDOT) VALUES (5, 'QX-30 Self-Service', 58, 30, 100, 20, 167);
INSERT INTO SCALE_MODEL (ID, SCALE_NAME, MAX_WIDTH, MIN_WIDTH, MAX_HEIGHT, MIN_HEIGHT, MM_PER_KDOT) VALUES (6, 'QD-50 Deli', 56, 30, 90, 20, 83);
INSERT INTO SCALE_MODEL (ID, SCALE_NAME, MAX_WIDTH, MIN_WIDTH, MAX_HEIGHT, MIN_HEIGHT, MM_PER_KDOT) VALUES (7, 'QT-12 Basic', 56, 30, 60, 20, 167);
-- One row per scale on the network; SC_MODEL_ID refers to SCALE_MODEL.ID.
-- Store: the store (group) of a chain the scale stands in; empty or Null for none.
-- A column added here later is added to existing databases when they open.
CREATE TABLE SCALE (
  SC_NO INTEGER,
  DP_NO INTEGER,
  SC_IP TEXT UNIQUE,
  SC_USED BOOLEAN,
  SC_MODEL_ID INTEGER,
  Store TEXT
);
