UPDATE CPMain
SET 
  MontantSS1 = :montantSS1,
  MontantSS2 = :montantSS2,
  MontantSS3 = :montantSS3,
  MontantSS4 = :montantSS4,
  MontantSS5 = :montantSS5,
  MontantSS6 = :montantSS6,
  MontantSS7 = :montantSS7
Where CPMain_ID = :cpmain_id