-- Texts of a transfer run: cancelling it and its progress in the status bar.
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'Global.msgTCPDriver11', 'Cancelled: the transfer was cancelled before this scale finished', '已取消：此秤完成之前传输已被取消', 'Отменено: передача была отменена до завершения этих весов');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome11', 'cancelled', '已取消', 'отменено');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.cmdCancelTransfer', 'Cancel', '取消', 'Отмена');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgTransferProgress', '%1 %2 of %3 scales, %4 failed', '%1 %3 台秤中已完成 %2 台，%4 台失败', '%1 %2 из %3 весов, ошибок: %4');
