7.0
23
1	SQLCHAR	0	255	","	11	userip
2	SQLCHAR	0	255	","	12	username
3	SQLCHAR	0	255	","	1	timestampid
4	SQLCHAR	0	255	","	14	url
5	SQLCHAR	0	255	","	7	status
6	SQLCHAR	0	255	","	27	bytecount
7	SQLCHAR	0	255	","	20	referrer
8	SQLCHAR	0	255	","	9	browser
9	SQLCHAR	0	255	","	19	hostname
10	SQLCHAR	0	255	","	18	sitename
11	SQLCHAR	0	255	","	5	abortcodeid
12	SQLCHAR	0	255	","	10	player
13	SQLCHAR	0	255	","	6	logformat
14	SQLCHAR	0	255	","	8	os
15	SQLCHAR	0	255	","	17	filetype
16	SQLCHAR	0	255	","	21	serverdesc
17	SQLCHAR	0	255	","	36	dt_hour
18	SQLCHAR	0	255	","	37	dt_dayofweek
19	SQLCHAR	0	255	","	38	dt_month
20	SQLCHAR	0	255	","	39	dt_quarter
21	SQLCHAR	0	255	","	40	dt_year
22	SQLCHAR	0	255	","	2	groupid
23	SQLCHAR	0	255	"\r\n"	25	refcount
