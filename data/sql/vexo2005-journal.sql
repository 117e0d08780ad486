-- The transfer journal: one row per scale and data type of every send and receive, from
-- every workstation that shares this database. The rows of one run share TJ_RUN.
-- TJ_TIME is UTC as "yyyy-MM-ddTHH:mm:ss.zzzZ", so text order is time order on every server.
-- TJ_DIRECTION is "send" or "receive"; TJ_TYPE is 52, 56 or 61; TJ_CODE is the driver's code
-- and TJ_TEXT its text; TJ_HASH the SHA-256 (hex) of the bytes sent or received, "" when none.
CREATE TABLE TRANSFER_JOURNAL (
  TJ_RUN TEXT NOT NULL,
  TJ_TIME TEXT NOT NULL,
  TJ_HOST TEXT NOT NULL,
  TJ_USER TEXT NOT NULL,
  TJ_DIRECTION TEXT NOT NULL,
  TJ_LABEL TEXT NOT NULL,
  TJ_HASH TEXT NOT NULL,
  TJ_ADDRESS TEXT NOT NULL,
  TJ_TYPE INTEGER NOT NULL,
  TJ_CODE INTEGER NOT NULL,
  TJ_TEXT TEXT NOT NULL
);
-- The history reads newest first, optionally for one scale or one label; a run is read back whole.
CREATE INDEX idx_TJ_TIME ON TRANSFER_JOURNAL (TJ_TIME);
CREATE INDEX idx_TJ_ADDRESS ON TRANSFER_JOURNAL (TJ_ADDRESS, TJ_TIME);
CREATE INDEX idx_TJ_LABEL ON TRANSFER_JOURNAL (TJ_LABEL, TJ_TIME);
CREATE INDEX idx_TJ_RUN ON TRANSFER_JOURNAL (TJ_RUN);
