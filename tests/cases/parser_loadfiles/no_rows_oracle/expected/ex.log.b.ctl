-- usage:
-- F:\Oracle\Ora817\bin>SQLLdr userid=zx_user/hvlemz@ZX control=F:\bulk\http3.ctl log=f:\bulk\http3.log
OPTIONS(ERRORS=1000,SILENT=FEEDBACK,ROWS=500)
LOAD DATA
INFILE 'ex.log.bsrt' "str '\r\n'"
APPEND
INTO TABLE bill_cache1
FIELDS TERMINATED BY ',' OPTIONALLY ENCLOSED BY '\''
( timestampid DATE "YYYY-MM-DD HH24:MI:SS",
groupid,
userip,
username,
url CHAR(1024),
method,
logformat,
billmeasure1,
billmeasure2,
billmeasure3
)
