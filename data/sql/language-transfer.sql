-- Texts of the transfer report: the summary, outcomes per scale, its CSV, and receive messages.
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'Global.msgTCPDriver10', 'The scale was not contacted: the transfer ended or stopped before its turn', '未联系此秤：传输在轮到它之前已结束或停止', 'Весы не опрашивались: передача закончилась или остановилась раньше их очереди');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgSendSummary', '%1 of %2 scales received the label', '%2 台秤中有 %1 台收到了标签', 'Этикетку получили %1 из %2 весов');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgScaleInconsistent', 'Inconsistent: new format, old texts', '不一致：新格式，旧文本', 'Несогласованно: новый формат, старые тексты');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome0', 'received', '已接收', 'получено');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome1', 'data file missing', '数据文件缺失', 'нет файла данных');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome2', 'unreachable', '无法连接', 'недоступны');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome3', 'timed out', '超时', 'время ожидания истекло');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome4', 'refused', '被拒绝', 'отклонено');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome5', 'protocol error', '协议错误', 'ошибка протокола');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome6', 'invalid address', '地址无效', 'недопустимый адрес');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome7', 'connection dropped', '连接中断', 'соединение прервано');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome8', 'file not written', '文件未写入', 'файл не записан');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome9', 'driver usage error', '驱动程序调用错误', 'ошибка вызова драйвера');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome10', 'not attempted', '未尝试', 'не опрашивались');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome97', 'inconsistent (new format, old texts)', '不一致（新格式，旧文本）', 'несогласованно (новый формат, старые тексты)');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome98', 'no result from the driver', '驱动程序无结果', 'нет результата драйвера');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcome99', 'missing from the driver''s result', '驱动程序结果中缺失', 'нет в результате драйвера');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgOutcomeOther', 'failed (code %1)', '失败（代码 %1）', 'ошибка (код %1)');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgCsvAddress', 'Address', '地址', 'Адрес');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgCsvOutcome', 'Outcome', '结果', 'Итог');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgCsvFormat', 'Format data', '格式数据', 'Данные формата');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgCsvText', 'Text data', '文本数据', 'Текстовые данные');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgCsvShopName', 'Shop name data', '店名数据', 'Данные названия магазина');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.cmdCopyReport', 'Copy', '复制', 'Копировать');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.cmdSaveReportCsv', 'Save as CSV...', '另存为 CSV...', 'Сохранить как CSV...');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgReportNotSaved', 'The report could not be saved: %1', '无法保存报告：%1', 'Не удалось сохранить отчёт: %1');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgRecvNoLabel', 'The scale holds no label.', '此秤上没有标签。', 'На весах нет этикетки.');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgRecvPartial', 'The label was opened without the data below, which did not arrive. Sending it back would replace that data on the scale.', '标签已打开，但缺少以下未收到的数据。将其发送回秤会替换秤上的这些数据。', 'Этикетка открыта без данных ниже, которые не были получены. Отправка её обратно заменит эти данные на весах.');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmMain.msgResultNotDeleted', 'The result file of an earlier transfer cannot be deleted, so this transfer''s result could not be told from it. Nothing was transferred.
%1', '无法删除先前传输的结果文件，因此无法区分本次传输的结果。未传输任何数据。
%1', 'Не удаётся удалить файл результата прежней передачи, и результат этой передачи нельзя было бы от него отличить. Ничего не передано.
%1');
