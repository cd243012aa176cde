7.0
4
1	SQLCHAR	0	255	","	1	timestampid
2	SQLCHAR	0	255	","	11	userip
3	SQLCHAR	0	255	","	14	url
4	SQLCHAR	0	255	"\r\n"	7	status
