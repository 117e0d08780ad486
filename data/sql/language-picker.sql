-- Texts of the scale picker at chain size: the store column, the filter, ticking by store, and the check states.
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.lvwStore', 'Store', '门店', 'Магазин');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.lvwStatus', 'Status', '状态', 'Состояние');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.txtFilter', 'Filter by number, address, model or store', '按秤号、地址、型号或门店筛选', 'Фильтр по номеру, адресу, модели или магазину');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.cboStorePrompt', 'Tick one store...', '勾选一个门店...', 'Отметить магазин...');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.cmdTickAll', 'Tick all', '全部勾选', 'Отметить все');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.cmdTickNone', 'Tick none', '全部不选', 'Снять все');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.cmdTickShown', 'Tick shown', '勾选显示的', 'Отметить показанные');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.lblQueued', 'Queued', '排队中', 'В очереди');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.msgQueued', 'Queued', '排队中', 'В очереди');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.msgChecking', 'Checking', '正在检测', 'Проверка');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.msgAnswers', 'Answers', '有应答', 'Отвечает');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.msgPortOpen', 'Transfer service answers', '传输服务有应答', 'Служба передачи отвечает');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.msgNoAnswer', 'No answer', '无应答', 'Нет ответа');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.msgPortClosed', 'Transfer service not running', '传输服务未运行', 'Служба передачи не работает');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.msgNotStarted', 'The check could not start: %1', '无法开始检测：%1', 'Проверку не удалось начать: %1');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleSelect.msgInvalid', 'Not a valid IPv4 address', '不是有效的 IPv4 地址', 'Недопустимый адрес IPv4');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleEdit.lblStore', 'Store:', '门店：', 'Магазин:');
INSERT INTO tbl_LANGUAGE (E_NAME, Caption, English, Chinese, Other) VALUES ('QUILLON.EXE', 'frmScaleConfig.lvwStore', 'Store', '门店', 'Магазин');
