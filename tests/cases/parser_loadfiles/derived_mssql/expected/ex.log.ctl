7.0
6
1	SQLCHAR	0	255	","	11	userip
2	SQLCHAR	0	255	","	1	timestampid
3	SQLCHAR	0	255	","	14	url
4	SQLCHAR	0	255	","	36	dt_hour
5	SQLCHAR	0	255	","	2	groupid
6	SQLCHAR	0	255	"\r\n"	25	refcount
