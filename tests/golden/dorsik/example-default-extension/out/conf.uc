<?xml version="1.0"?>
<options>
   <title name="General" />
   <comment value="main settings" />
   <entry name="name">
      <option value='Demo'/>
   </entry>
   <entry name="list">
      <option value='a'/>
      <option value='b'/>
      <comment value='two items'/>
   </entry>
</options>