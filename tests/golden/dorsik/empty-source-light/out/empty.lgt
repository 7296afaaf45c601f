xml
options
/xml
/options